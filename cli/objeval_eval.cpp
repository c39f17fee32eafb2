// objeval-eval: evaluates many points in one process. Points are read from
// FILE or standard input, one per line; one value per line goes to standard
// output. A bad line stops the run: every value printed before it is right.
#include "doorcost/cost.hpp"
#include "frame/print_fixed.hpp"
#include "point_lines.hpp"
#include "quadobj/objective.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

constexpr char usage[] =
    "usage: objeval-eval [--round-trip] [--threads N] doorcost|quadobj [FILE]\n"
    "\n"
    "Evaluates one point per line of FILE (or standard input, also as \"-\"): 240 numbers\n"
    "for doorcost, 50 for quadobj, separated by white space or commas, each read as the\n"
    "programs read input.txt. Writes one value per line, with \"%f\" as the programs do,\n"
    "or with --round-trip as \"%.9g\", which reads back to the same float. Blank lines and\n"
    "lines starting with '#' are skipped. A line with the wrong count or a field that is\n"
    "not a number stops the run with a message naming the line, and exit status 1.\n"
    "--threads: how many threads read and evaluate (default: one per core).\n";

struct problem {
  std::string_view name;
  std::size_t dimension;
  void (*batch)(std::span<float const>, std::span<float>, unsigned);
};

constexpr problem problems[] = {
    {"doorcost", doorcost::value_count, doorcost::cost_batch},
    {"quadobj", quadobj::value_count, quadobj::objective_batch},
};

// One thread's share of a chunk: whole lines, read, then evaluated as one
// batch. Reading stops at the first bad line.
struct share {
  std::string_view text;
  std::vector<float> points, values;
  std::size_t lines = 0;  // lines read, the bad one included
  std::string error;

  void evaluate(problem const& p) {
    points.clear();
    for (std::size_t start = 0; start < text.size();) {
      std::size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view const line = text.substr(start, end - start);
      ++lines;
      start = end + 1;
      if (!points_cli::is_point_line(line)) continue;
      points.resize(points.size() + p.dimension);
      error = points_cli::read_point(line, std::span<float>(points).last(p.dimension));
      if (!error.empty()) {
        points.resize(points.size() - p.dimension);
        break;
      }
    }
    values.resize(points.size() / p.dimension);
    p.batch(points, values, 1);
  }
};

void print_values(std::span<float const> values, bool round_trip) {
  char text[value_files::fixed_text_capacity + 1];
  for (float const value : values) {
    if (round_trip) {
      std::printf("%.9g\n", static_cast<double>(value));
    } else {
      std::size_t const length = value_files::print_fixed(value, text);
      text[length] = '\n';
      std::fwrite(text, 1, length + 1, stdout);
    }
  }
}

int fail_usage(char const* message) {
  std::fprintf(stderr, "objeval-eval: %s\n\n%s", message, usage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool round_trip = false;
  unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::string_view> arguments;
  for (int n = 1; n < argc; ++n) {
    std::string_view const argument = argv[n];
    if (argument == "-h" || argument == "--help") {
      std::fputs(usage, stdout);
      return 0;
    }
    if (argument == "--round-trip") {
      round_trip = true;
    } else if (argument == "--threads" && n + 1 < argc) {
      threads = static_cast<unsigned>(std::strtoul(argv[++n], nullptr, 10));
      if (threads == 0 || threads > 256) return fail_usage("--threads takes 1 to 256");
    } else if (argument.size() > 1 && argument[0] == '-') {
      return fail_usage("unknown option");
    } else {
      arguments.push_back(argument);
    }
  }
  if (arguments.empty() || arguments.size() > 2) return fail_usage("name one problem and at most one file");
  problem const* chosen = nullptr;
  for (problem const& p : problems)
    if (p.name == arguments[0]) chosen = &p;
  if (chosen == nullptr) return fail_usage("the problem is doorcost or quadobj");

  std::FILE* in = stdin;
  if (arguments.size() == 2 && arguments[1] != "-") {
    std::string const name(arguments[1]);
    in = std::fopen(name.c_str(), "r");
    if (in == nullptr) {
      std::fprintf(stderr, "objeval-eval: cannot open %s: %s\n", name.c_str(), std::strerror(errno));
      return 2;
    }
  }
  static char output_buffer[1 << 16];
  std::setvbuf(stdout, output_buffer, _IOFBF, sizeof output_buffer);

  // The input goes through in chunks of whole lines; each chunk's points are
  // split between the threads, which read and evaluate their share.
  constexpr std::size_t chunk_size = std::size_t{1} << 22;
  // Read into without clearing it first: a leftover partial line, then a chunk.
  std::unique_ptr<char[]> buffer(new char[2 * chunk_size]);
  std::size_t capacity = 2 * chunk_size, kept = 0;
  std::vector<share> shares(threads);
  std::size_t line_number = 0;  // lines before this chunk
  std::string error;
  bool at_end = false;
  while (!at_end && error.empty()) {
    if (capacity - kept < chunk_size) {  // a line longer than a chunk
      std::unique_ptr<char[]> larger(new char[2 * capacity]);
      std::memcpy(larger.get(), buffer.get(), kept);
      buffer = std::move(larger);
      capacity *= 2;
    }
    std::size_t const got = std::fread(buffer.get() + kept, 1, chunk_size, in);
    std::string_view const text(buffer.get(), kept + got);
    at_end = got == 0;
    if (at_end && std::ferror(in)) {
      error = "cannot read the input";
      break;
    }
    std::size_t const complete = at_end ? text.size() : text.rfind('\n') + 1;  // npos + 1 == 0

    // Equal shares of the bytes, each moved on to the start of a line.
    std::size_t from = 0;
    for (std::size_t t = 0; t < threads; ++t) {
      std::size_t to = t + 1 == threads ? complete : std::max(from, complete * (t + 1) / threads);
      if (to < complete) {
        std::size_t const line_end = text.find('\n', to == 0 ? 0 : to - 1);
        to = line_end == std::string_view::npos || line_end >= complete ? complete : line_end + 1;
      }
      shares[t].text = text.substr(from, to - from);
      shares[t].lines = 0;
      shares[t].error.clear();
      from = to;
    }
    std::vector<std::thread> workers;
    for (std::size_t t = 1; t < threads; ++t) workers.emplace_back([&, t] { shares[t].evaluate(*chosen); });
    shares[0].evaluate(*chosen);
    for (auto& w : workers) w.join();

    for (share const& s : shares) {
      print_values(s.values, round_trip);
      line_number += s.lines;
      if (!s.error.empty()) {
        error = "line " + std::to_string(line_number) + ": " + s.error;
        break;
      }
    }
    kept = text.size() - complete;
    std::memmove(buffer.get(), buffer.get() + complete, kept);
  }
  bool const written = std::fflush(stdout) == 0;
  if (!error.empty()) {
    std::fprintf(stderr, "objeval-eval: %s\n", error.c_str());
    return 1;
  }
  if (!written) {
    std::fprintf(stderr, "objeval-eval: cannot write the values\n");
    return 1;
  }
  return 0;
}
