// objeval-eval: evaluates many points in one process. Points are read from
// FILE or standard input, one per line; one value per line goes to standard
// output. A bad line stops the run: every value printed before it is right.
#include "capi/problem_table.hpp"
#include "frame/print_fixed.hpp"
#include "input_chunks.hpp"
#include "point_lines.hpp"
#include "threads/run_together.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr char usage[] =
    "usage: objeval-eval [--round-trip] [--header] [--threads N] doorcost|quadobj [FILE]\n"
    "\n"
    "Evaluates one point per line of FILE (or standard input, also as \"-\"): 240 numbers\n"
    "for doorcost, 50 for quadobj, separated by white space or commas, each read as the\n"
    "programs read input.txt. Writes one value per line, with \"%f\" as the programs do,\n"
    "or with --round-trip as \"%.9g\", which reads back to the same float. Blank lines and\n"
    "lines starting with '#' are skipped, and so is a byte-order mark at the start.\n"
    "A line with the wrong count or a field that is not a number stops the run with a\n"
    "message naming the line, and exit status 1; FILE not readable gives exit status 2.\n"
    "--header: the first line that is not a comment holds column names: skip it.\n"
    "--threads N, --threads=N: how many threads read and evaluate (default and 0: one\n"
    "per CPU this process may use; never more); the output does not depend on it.\n";

using problem = objeval::problem_entry;

// A count written in digits only; any count past 10^9 is as good as 10^9.
std::optional<unsigned> parse_count(std::string_view text) {
  if (text.empty()) return std::nullopt;
  unsigned value = 0;
  for (char const c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value > 100'000'000 ? 1'000'000'000 : value * 10 + static_cast<unsigned>(c - '0');
  }
  return value;
}

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

// Whole lines of a chunk, read, then evaluated as one batch. Reading stops
// at the first bad line.
struct piece {
  std::string_view text;
  std::vector<float> values;
  std::size_t lines = 0;  // lines read, the bad one included
  std::string error;

  void evaluate(problem const& p) {
    // A thread's points, kept between pieces: each page a vector touches
    // first is a page fault, and those cost microseconds on a virtual machine.
    thread_local std::vector<float> points;
    points.clear();
    lines = 0;
    error.clear();
    for (std::size_t start = 0; start < text.size();) {
      std::size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view const line = text.substr(start, end - start);
      ++lines;
      start = end + 1;
      if (!points_cli::is_point_line(line)) continue;
      points.resize(points.size() + p.info.dimension);
      error = points_cli::read_point(line, std::span<float>(points).last(p.info.dimension));
      if (!error.empty()) {
        points.resize(points.size() - p.info.dimension);
        break;
      }
    }
    values.resize(points.size() / p.info.dimension);
    p.batch(points, values, 1);
  }
};

// A chunk of input and what became of it.
struct chunk {
  points_cli::input_chunk input;
  std::size_t skipped_lines = 0;  // before the first piece: a header and the comments before it
  std::vector<piece> pieces;
  std::size_t used = 0;  // pieces of this chunk

  // Splits the whole lines into pieces of about `bytes` each.
  void split(std::size_t begin, std::size_t bytes) {
    std::string_view const text = input.lines();
    used = 0;
    while (begin < text.size()) {
      std::size_t end = begin + bytes < text.size() ? text.find('\n', begin + bytes) : std::string_view::npos;
      end = end == std::string_view::npos ? text.size() : end + 1;
      if (used == pieces.size()) pieces.emplace_back();
      pieces[used++].text = text.substr(begin, end - begin);
      begin = end;
    }
  }
  void print(bool round_trip) const {
    for (std::size_t p = 0; p < used; ++p) print_values(pieces[p].values, round_trip);
  }
  bool failed() const {
    return std::any_of(pieces.begin(), pieces.begin() + static_cast<std::ptrdiff_t>(used),
                       [](piece const& p) { return !p.error.empty(); });
  }
};

// Where a --header line ends in `text`, with the lines up to it counted;
// nullopt if `text` holds only comments and blank lines.
std::optional<std::size_t> after_header(std::string_view text, std::size_t& lines) {
  for (std::size_t start = 0; start < text.size(); ++lines) {
    std::size_t end = text.find('\n', start);
    end = end == std::string_view::npos ? text.size() : end + 1;
    if (points_cli::is_point_line(text.substr(start, end - start))) {
      ++lines;
      return end;
    }
    start = end;
  }
  return std::nullopt;
}

int fail_usage(char const* message) {
  std::fprintf(stderr, "objeval-eval: %s\n\n%s", message, usage);
  return 2;
}

int fail_open(std::string const& name, int error) {
  std::fprintf(stderr, "objeval-eval: cannot open %s: %s\n", name.c_str(), std::strerror(error));
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool round_trip = false, header = false;
  unsigned threads = objeval::thread_count(0);
  std::vector<std::string_view> arguments;
  for (int n = 1; n < argc; ++n) {
    std::string_view const argument = argv[n];
    if (argument == "-h" || argument == "--help") {
      std::fputs(usage, stdout);
      return 0;
    }
    if (argument == "--round-trip") {
      round_trip = true;
    } else if (argument == "--header") {
      header = true;
    } else if (argument == "--threads" || argument.starts_with("--threads=")) {
      std::string_view value = argument.substr(std::strlen("--threads"));
      if (value.empty()) {
        if (n + 1 == argc) return fail_usage("--threads takes a count");
        value = argv[++n];
      } else {
        value.remove_prefix(1);
      }
      std::optional<unsigned> const count = parse_count(value);
      if (!count) return fail_usage("--threads takes a count in digits: 0 for one per CPU");
      threads = objeval::thread_count(*count);
    } else if (argument.size() > 1 && argument[0] == '-') {
      return fail_usage("unknown option");
    } else {
      arguments.push_back(argument);
    }
  }
  if (arguments.empty() || arguments.size() > 2) return fail_usage("name one problem and at most one file");
  problem const* chosen = nullptr;
  for (problem const& p : objeval::problems)
    if (p.info.name == arguments[0]) chosen = &p;
  if (chosen == nullptr) return fail_usage("no such problem");

  std::FILE* in = stdin;
  if (arguments.size() == 2 && arguments[1] != "-") {
    std::string const name(arguments[1]);
    in = std::fopen(name.c_str(), "r");
    if (in == nullptr) return fail_open(name, errno);
    struct stat status;
    if (fstat(fileno(in), &status) == 0 && S_ISDIR(status.st_mode)) return fail_open(name, EISDIR);
  }
  static char output_buffer[1 << 16];
  std::setvbuf(stdout, output_buffer, _IOFBF, sizeof output_buffer);

  // Chunk by chunk: while the threads evaluate one chunk's pieces, one of
  // them reads the next chunk and another prints the values of the last.
  // Chunks grow from small, so that the threads start soon, to large, so
  // that waiting for the slowest piece at each chunk's end costs little.
  // About 90 points a piece, at about ten bytes a number: enough for whole
  // blocks of the batch, few enough that the threads finish a chunk together.
  std::size_t const piece_bytes = chosen->info.dimension << 10;
  constexpr std::size_t first_chunk_bytes = std::size_t{1} << 18;
  // With the room kept for a carried line, a buffer is two 2 MiB pages.
  constexpr std::size_t chunk_bytes = (std::size_t{1} << 22) - (std::size_t{1} << 16);
  chunk chunks[2];
  chunk* current = &chunks[0];
  chunk* other = &chunks[1];
  for (chunk& c : chunks) c.input.reserve(chunk_bytes);  // faulted in once, not at each size
  points_cli::read_chunk(in, {}, first_chunk_bytes, true, current->input);
  std::size_t next_bytes = first_chunk_bytes;
  std::size_t line_number = 0;  // lines before the current chunk
  bool header_pending = header, printing = false;
  std::string error;
  for (;;) {
    if (current->input.failed) {
      if (printing) other->print(round_trip);
      error = "cannot read the input";
      break;
    }
    std::size_t begin = 0;
    current->skipped_lines = 0;
    if (header_pending) {
      std::optional<std::size_t> const end = after_header(current->input.lines(), current->skipped_lines);
      header_pending = !end;
      begin = end.value_or(current->input.complete);
    }
    current->split(begin, piece_bytes);

    bool const read_next = !current->input.last;
    next_bytes = std::min(2 * next_bytes, chunk_bytes);
    std::size_t const tasks = 2 + current->used;  // reading, printing, then each piece
    std::size_t const busy = current->used + read_next + (printing && other->used != 0);
    std::atomic<std::size_t> next_task{0};
    objeval::run_together(std::min<std::size_t>(threads, busy), [&] {
      for (std::size_t task; (task = next_task.fetch_add(1, std::memory_order_relaxed)) < tasks;) {
        if (task == 0 && read_next) {
          points_cli::read_chunk(in, current->input.rest(), next_bytes, false, other->input);
        } else if (task == 1 && printing) {
          other->print(round_trip);
        } else if (task >= 2) {
          current->pieces[task - 2].evaluate(*chosen);
        }
      }
    });

    if (current->failed() || !read_next) break;
    for (std::size_t p = 0; p < current->used; ++p) line_number += current->pieces[p].lines;
    line_number += current->skipped_lines;
    std::swap(current, other);
    printing = true;
  }
  // The last chunk, or the one that failed: its values up to the bad line.
  if (error.empty()) {
    line_number += current->skipped_lines;
    for (std::size_t p = 0; p < current->used; ++p) {
      piece const& done = current->pieces[p];
      print_values(done.values, round_trip);
      line_number += done.lines;
      if (!done.error.empty()) {
        error = "line " + std::to_string(line_number) + ": " + done.error;
        break;
      }
    }
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
