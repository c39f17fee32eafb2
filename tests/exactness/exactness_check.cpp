// SPDX-License-Identifier: MIT
// Evaluates the fixed corpus through the one-point and the batch functions and
// compares every result's bits with the golden file.
//
//   exactness_check --write GOLDEN      write the golden file
//   exactness_check GOLDEN [CELL]       exit 1 at any difference, naming CELL
//   exactness_check --corpus GOLDEN DIR the corpus and golden bits as float32 files
#include "corpus.hpp"

#include <objeval/doorcost.hpp>
#include <objeval/quadobj.hpp>

#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct result {
  std::string program;
  std::size_t point;
  std::uint32_t one;    // one-point function
  std::uint32_t batch;  // batch function, the whole corpus in one call
};

template <std::size_t N, class One, class Batch>
void evaluate(char const* program, std::vector<exactness::point<N>> const& corpus, One one, Batch batch,
              std::vector<result>& results) {
  std::vector<float> flat;
  for (auto const& p : corpus) flat.insert(flat.end(), p.begin(), p.end());
  std::vector<float> batched(corpus.size());
  batch(std::span<float const>(flat), std::span<float>(batched));
  for (std::size_t n = 0; n < corpus.size(); ++n)
    results.push_back({program, n, std::bit_cast<std::uint32_t>(one(corpus[n])),
                       std::bit_cast<std::uint32_t>(batched[n])});
}

std::vector<result> evaluate_all() {
  std::vector<result> results;
  evaluate<240>("doorcost", exactness::doorcost_corpus(),
                [](auto const& p) { return objeval::doorcost::cost(p); },
                [](auto points, auto costs) { objeval::doorcost::cost_batch(points, costs); }, results);
  evaluate<50>("quadobj", exactness::quadobj_corpus(),
               [](auto const& p) { return objeval::quadobj::objective(p); },
               [](auto points, auto values) { objeval::quadobj::objective_batch(points, values); }, results);
  return results;
}

std::string describe(std::uint32_t bits) {
  char text[64];
  std::snprintf(text, sizeof text, "%08" PRIx32 " (%a)", bits, static_cast<double>(std::bit_cast<float>(bits)));
  return text;
}

int write_golden(char const* path) {
  std::FILE* out = std::fopen(path, "w");
  if (out == nullptr) return 2;
  std::fprintf(out, "# program point result-bits hexfloat\n");
  for (result const& r : evaluate_all())
    std::fprintf(out, "%s %zu %08" PRIx32 " %a\n", r.program.c_str(), r.point, r.one,
                 static_cast<double>(std::bit_cast<float>(r.one)));
  return std::fclose(out) == 0 ? 0 : 2;
}

int check(char const* path, char const* cell) {
  std::FILE* in = std::fopen(path, "r");
  if (in == nullptr) {
    std::printf("%s: cannot open %s\n", cell, path);
    return 2;
  }
  std::vector<result> const results = evaluate_all();
  char line[256];
  std::size_t n = 0, differences = 0;
  while (std::fgets(line, sizeof line, in) != nullptr) {
    if (line[0] == '#') continue;
    char program[16];
    std::size_t point = 0;
    std::uint32_t golden = 0;
    if (std::sscanf(line, "%15s %zu %" SCNx32, program, &point, &golden) != 3 || n >= results.size() ||
        results[n].program != program || results[n].point != point) {
      std::printf("%s: golden file and corpus disagree at line %zu: %s", cell, n + 2, line);
      return 2;
    }
    for (auto [path_name, got] : {std::pair{"one-point", results[n].one}, std::pair{"batch", results[n].batch}}) {
      if (got == golden) continue;
      if (std::getenv("EXACTNESS_VERBOSE") != nullptr)
        std::printf("%s %zu %s %s %s\n", program, point, path_name, describe(got).c_str(), describe(golden).c_str());
      if (differences++ == 0)
        std::printf("%s: first difference: %s point %zu, %s path: got %s, golden %s\n", cell, program, point,
                    path_name, describe(got).c_str(), describe(golden).c_str());
    }
    ++n;
  }
  std::fclose(in);
  if (n != results.size()) {
    std::printf("%s: golden file has %zu results, corpus %zu\n", cell, n, results.size());
    return 2;
  }
  std::printf("%s: %zu points, %s\n", cell, n,
              differences == 0 ? "every bit as golden on both paths" : "DIFFERS from golden");
  if (differences != 0) std::printf("%s: %zu differing results\n", cell, differences);
  return differences == 0 ? 0 : 1;
}

// The corpus and its golden bits as little-endian float32 files, for the
// other languages' tests: DIR/PROGRAM.points.f32 (a point after a point)
// and DIR/PROGRAM.golden.f32 (a value a point).
int write_corpus(char const* golden_path, std::string const& dir) {
  std::FILE* in = std::fopen(golden_path, "r");
  if (in == nullptr) return 2;
  std::vector<std::pair<std::string, std::uint32_t>> golden;
  char line[256];
  while (std::fgets(line, sizeof line, in) != nullptr) {
    char program[16];
    std::size_t point = 0;
    std::uint32_t bits = 0;
    if (line[0] != '#' && std::sscanf(line, "%15s %zu %" SCNx32, program, &point, &bits) == 3)
      golden.emplace_back(program, bits);
  }
  std::fclose(in);
  auto const write = [&](std::string const& name, auto const& corpus) {
    std::FILE* points = std::fopen((dir + "/" + name + ".points.f32").c_str(), "wb");
    std::FILE* values = std::fopen((dir + "/" + name + ".golden.f32").c_str(), "wb");
    if (points == nullptr || values == nullptr) return false;
    for (auto const& p : corpus) std::fwrite(p.data(), sizeof(float), p.size(), points);
    for (auto const& [program, bits] : golden)
      if (program == name) std::fwrite(&bits, sizeof bits, 1, values);
    return std::fclose(points) == 0 && std::fclose(values) == 0;
  };
  static_assert(std::endian::native == std::endian::little);
  return write("doorcost", exactness::doorcost_corpus()) && write("quadobj", exactness::quadobj_corpus()) ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--write") == 0) return write_golden(argv[2]);
  if (argc == 4 && std::strcmp(argv[1], "--corpus") == 0) return write_corpus(argv[2], argv[3]);
  if (argc == 2 || argc == 3) return check(argv[1], argc == 3 ? argv[2] : "this build");
  std::printf("usage: exactness_check --write GOLDEN | exactness_check GOLDEN [CELL]\n");
  return 2;
}
