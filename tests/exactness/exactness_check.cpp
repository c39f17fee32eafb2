// SPDX-License-Identifier: MIT
// Evaluates each problem's fixed corpus through every path the library and
// its bindings take, and compares every result's bits with the golden file:
// the one-point function, the float batch, and through the C interface the
// layouts the bindings hand over (rows, columns, columns 64 KiB apart, every
// other value, points in reverse order; doubles in, floats or doubles out),
// on one thread and two; and on one thread, the corpus in calls of counts
// from 1 to 200 drawn from the cell's name, so that the blocks of every
// size and every part-filled block are checked too. Each double lies a
// quarter of a float's spacing from its float, towards zero: a conversion
// that is not rounded once to nearest gives other bits.
//
//   exactness_check --write GOLDEN      write the golden file
//   exactness_check GOLDEN [CELL]       exit 1 at any difference, naming CELL
//   exactness_check --corpus GOLDEN DIR the corpus and golden bits as float32 files
#include "corpus.hpp"
#include "problems/table.hpp"

#include <objeval/objeval.h>

#include <algorithm>
#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

using objeval::problem_entry;

// A double that rounds to f, and to no other float, in every direction a
// conversion could go wrong: between f and its neighbour towards zero.
double near(float f) {
  if (!std::isfinite(f) || f == 0.0f) return f;
  float const inner = std::nextafter(f, 0.0f);
  return static_cast<double>(f) - (static_cast<double>(f) - static_cast<double>(inner)) / 4;
}

struct path {
  std::string name;
  unsigned threads;
  // The values of `count` points, the corpus `copies` times over.
  std::function<std::vector<float>(problem_entry const&, std::size_t index, exactness::corpus const&, std::size_t copies,
                                   unsigned threads)>
      evaluate;
};

std::vector<float> repeated(exactness::corpus const& c, std::size_t copies) {
  std::vector<float> all;
  for (std::size_t k = 0; k < copies; ++k) all.insert(all.end(), c.values.begin(), c.values.end());
  return all;
}

// The corpus as doubles near its floats: value k of point p at
// [p * point_stride + k * coordinate_stride], points in reverse where asked.
std::vector<double> laid_out(std::vector<float> const& rows, std::size_t d, std::size_t ps, std::size_t cs,
                             bool reversed = false) {
  std::size_t const n = rows.size() / d;
  std::vector<double> out((n - 1) * ps + (d - 1) * cs + 1, 1e300);
  for (std::size_t p = 0; p < n; ++p)
    for (std::size_t k = 0; k < d; ++k) out[(reversed ? n - 1 - p : p) * ps + k * cs] = near(rows[p * d + k]);
  return out;
}

void check_status(objeval_status status) {
  if (status != OBJEVAL_OK) {
    std::printf("a call failed: %s\n", objeval_status_message(status));
    std::exit(2);
  }
}

// A layout of doubles, read into floats (or, `wide`, doubles narrowed back).
path doubles(std::string name, unsigned threads, std::size_t (*ps)(std::size_t n, std::size_t d),
             std::size_t (*cs)(std::size_t n, std::size_t d), bool wide = false, bool reversed = false) {
  return {std::move(name), threads,
          [=](problem_entry const&, std::size_t index, exactness::corpus const& c, std::size_t copies, unsigned t) {
            std::vector<float> const rows = repeated(c, copies);
            std::size_t const d = c.dimension, n = rows.size() / d;
            std::vector<double> const points = laid_out(rows, d, ps(n, d), cs(n, d), reversed);
            std::vector<float> values(n);
            if (wide) {
              std::vector<double> widened(n);
              check_status(objeval_evaluate_doubles(index, points.data(), n, ps(n, d), cs(n, d), widened.data(), t));
              for (std::size_t p = 0; p < n; ++p) values[p] = static_cast<float>(widened[p]);
            } else {
              check_status(objeval_evaluate_double(index, points.data(), n, ps(n, d), cs(n, d), values.data(), t));
            }
            if (reversed) std::reverse(values.begin(), values.end());
            return values;
          }};
}

std::size_t by_dimension(std::size_t, std::size_t d) { return d; }
std::size_t one(std::size_t, std::size_t) { return 1; }
std::size_t by_count(std::size_t n, std::size_t) { return n; }

std::vector<path> paths() {
  std::vector<path> all{
      {"one-point", 1,
       [](problem_entry const& p, std::size_t, exactness::corpus const& c, std::size_t, unsigned) {
         std::vector<float> values(c.count());
         for (std::size_t n = 0; n < c.count(); ++n) values[n] = p.one(c.values.data() + n * c.dimension);
         return values;
       }},
  };
  for (unsigned const threads : {1u, 2u}) {
    all.push_back({"float rows", threads,
                   [](problem_entry const& p, std::size_t, exactness::corpus const& c, std::size_t copies, unsigned t) {
                     std::vector<float> const rows = repeated(c, copies);
                     std::vector<float> values(rows.size() / c.dimension);
                     p.batch(rows.data(), values.size(), values.data(), t);
                     return values;
                   }});
    all.push_back({"floats, every other value", threads,
                   [](problem_entry const&, std::size_t index, exactness::corpus const& c, std::size_t copies,
                      unsigned t) {
                     std::vector<float> const rows = repeated(c, copies);
                     std::size_t const d = c.dimension, n = rows.size() / d;
                     std::vector<float> spread(2 * n * d);
                     for (std::size_t v = 0; v < n * d; ++v) spread[2 * v] = rows[v];
                     std::vector<float> values(n);
                     check_status(objeval_evaluate_strided(index, spread.data(), n, 2 * d, 2, values.data(), t));
                     return values;
                   }});
    all.push_back(doubles("double rows", threads, by_dimension, one));
    all.push_back(doubles("double columns", threads, one, by_count));
    all.push_back(doubles("doubles, every other value", threads,
                          [](std::size_t, std::size_t d) { return 2 * d; }, [](std::size_t, std::size_t) { return std::size_t{2}; }));
    all.push_back(doubles("double rows into doubles", threads, by_dimension, one, true));
    all.push_back(doubles("double columns into doubles", threads, one, by_count, true));
  }
  // Columns a multiple of 64 KiB apart take their own prefetch; a negative
  // point stride is read forward, its values reversed.
  all.push_back(doubles("double columns 64 KiB apart", 1, one, [](std::size_t, std::size_t) { return std::size_t{8192}; }));
  all.push_back(doubles("double rows, points in reverse", 1, by_dimension, one, false, true));
  return all;
}

std::string describe(std::uint32_t bits) {
  char text[64];
  std::snprintf(text, sizeof text, "%08" PRIx32 " (%a)", bits, static_cast<double>(std::bit_cast<float>(bits)));
  return text;
}

exactness::corpus corpus_of(problem_entry const& p) { return exactness::corpus_for(p.info.name, p.info.dimension); }

int write_golden(char const* path) {
  std::FILE* out = std::fopen(path, "w");
  if (out == nullptr) return 2;
  std::fprintf(out, "# program point result-bits hexfloat\n");
  for (problem_entry const& p : objeval::problems) {
    exactness::corpus const c = corpus_of(p);
    for (std::size_t n = 0; n < c.count(); ++n) {
      float const value = p.one(c.values.data() + n * c.dimension);
      std::fprintf(out, "%s %zu %08" PRIx32 " %a\n", p.info.name, n, std::bit_cast<std::uint32_t>(value),
                   static_cast<double>(value));
    }
  }
  return std::fclose(out) == 0 ? 0 : 2;
}

// Each problem's golden bits, a point after a point.
bool read_golden(char const* path, std::map<std::string, std::vector<std::uint32_t>>& golden) {
  std::FILE* in = std::fopen(path, "r");
  if (in == nullptr) return false;
  char line[256];
  while (std::fgets(line, sizeof line, in) != nullptr) {
    char program[64];
    std::size_t point = 0;
    std::uint32_t bits = 0;
    if (line[0] == '#' || std::sscanf(line, "%63s %zu %" SCNx32, program, &point, &bits) != 3) continue;
    std::vector<std::uint32_t>& values = golden[program];
    if (point != values.size()) {
      std::printf("%s: point %zu of %s out of order\n", path, point, program);
      std::fclose(in);
      return false;
    }
    values.push_back(bits);
  }
  std::fclose(in);
  return true;
}

int check(char const* golden_path, char const* cell) {
  std::map<std::string, std::vector<std::uint32_t>> golden;
  if (!read_golden(golden_path, golden)) {
    std::printf("%s: cannot read %s\n", cell, golden_path);
    return 2;
  }
  std::vector<path> const every_path = paths();
  std::size_t points = 0, differences = 0;
  for (std::size_t index = 0; index < objeval::problems.size(); ++index) {
    problem_entry const& p = objeval::problems[index];
    exactness::corpus const c = corpus_of(p);
    std::vector<std::uint32_t> const& bits = golden[p.info.name];
    if (bits.size() != c.count()) {
      std::printf("%s: %s has %zu golden results, its corpus %zu points: write the golden file anew\n", cell,
                  p.info.name, bits.size(), c.count());
      return 2;
    }
    points += c.count();
    // Counts from 1 to 200, drawn anew in each cell (a xorshift seeded by its name).
    std::uint64_t state = 0x9e3779b97f4a7c15u;
    for (char const* k = cell; *k != '\0'; ++k) state = (state ^ static_cast<unsigned char>(*k)) * 0x100000001b3u;
    auto const next_count = [&state] {
      state ^= state << 13, state ^= state >> 7, state ^= state << 17;
      return static_cast<std::size_t>(state % 200) + 1;
    };
    for (path const& each : every_path) {
      std::size_t const copies = each.threads > 1 ? 2 : 1;  // enough points to share
      std::vector<float> values = each.evaluate(p, index, c, copies, each.threads);
      if (each.threads == 1 && each.name != "one-point")
        for (std::size_t first = 0; first < c.count();) {
          std::size_t const n = std::min(next_count(), c.count() - first);
          exactness::corpus const piece{c.dimension, std::vector<float>(c.values.begin() + static_cast<std::ptrdiff_t>(first * c.dimension),
                                                                          c.values.begin() + static_cast<std::ptrdiff_t>((first + n) * c.dimension))};
          std::vector<float> const some = each.evaluate(p, index, piece, 1, 1);
          values.insert(values.end(), some.begin(), some.end());
          first += n;
        }
      for (std::size_t n = 0; n < values.size(); ++n) {
        std::uint32_t const got = std::bit_cast<std::uint32_t>(values[n]), want = bits[n % c.count()];
        if (got == want) continue;
        if (std::getenv("EXACTNESS_VERBOSE") != nullptr)
          std::printf("%s %zu %s, %u threads: %s %s\n", p.info.name, n % c.count(), each.name.c_str(), each.threads,
                      describe(got).c_str(), describe(want).c_str());
        if (differences++ == 0)
          std::printf("%s: first difference: %s point %zu, %s on %u thread%s: got %s, golden %s\n", cell, p.info.name,
                      n % c.count(), each.name.c_str(), each.threads, each.threads == 1 ? "" : "s",
                      describe(got).c_str(), describe(want).c_str());
      }
    }
  }
  for (auto const& [name, bits] : golden)
    if (objeval_problem_find(name.c_str()) == OBJEVAL_NO_PROBLEM)
      std::printf("%s: %s is not in this build: its golden results are not checked\n", cell, name.c_str());
  std::printf("%s: %zu points on %zu paths, %s\n", cell, points, every_path.size(),
              differences == 0 ? "every bit as golden" : "DIFFERS from golden");
  if (differences != 0) std::printf("%s: %zu differing results\n", cell, differences);
  return differences == 0 ? 0 : 1;
}

// The corpus and its golden bits as little-endian float32 files, for the
// other languages' tests: DIR/PROGRAM.points.f32 (a point after a point)
// and DIR/PROGRAM.golden.f32 (a value a point), for each problem of the table.
int write_corpus(char const* golden_path, std::string const& dir) {
  std::map<std::string, std::vector<std::uint32_t>> golden;
  if (!read_golden(golden_path, golden)) return 2;
  static_assert(std::endian::native == std::endian::little);
  for (problem_entry const& p : objeval::problems) {
    exactness::corpus const c = corpus_of(p);
    std::vector<std::uint32_t> const& bits = golden[p.info.name];
    std::FILE* points = std::fopen((dir + "/" + p.info.name + ".points.f32").c_str(), "wb");
    std::FILE* values = std::fopen((dir + "/" + p.info.name + ".golden.f32").c_str(), "wb");
    if (points == nullptr || values == nullptr || bits.size() != c.count()) return 2;
    std::fwrite(c.values.data(), sizeof(float), c.values.size(), points);
    std::fwrite(bits.data(), sizeof(std::uint32_t), bits.size(), values);
    if (std::fclose(points) != 0 || std::fclose(values) != 0) return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write") == 0) return write_golden(argv[2]);
  if (argc == 4 && std::strcmp(argv[1], "--corpus") == 0) return write_corpus(argv[2], argv[3]);
  if (argc == 2 || argc == 3) return check(argv[1], argc == 3 ? argv[2] : "this build");
  std::printf("usage: exactness_check --write GOLDEN | exactness_check GOLDEN [CELL] | "
              "exactness_check --corpus GOLDEN DIR\n");
  return 2;
}
