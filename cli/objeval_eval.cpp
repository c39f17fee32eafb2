// SPDX-License-Identifier: MIT
// objeval-eval: evaluates many points in one process. Points are read from
// FILE or standard input, one per line; one value per line goes to standard
// output. A bad line stops the run: every value printed before it is right.
// From a pipe or a terminal each value is written as soon as no more input
// is waiting, so a caller may keep it as a coprocess: a line in, its value out.
#include "problems/table.hpp"
#include "study/check.hpp"
#include "study/run_log.hpp"
#include "frame/print_fixed.hpp"
#include "arguments.hpp"
#include "input_chunks.hpp"
#include "point_lines.hpp"
#include "threads/run_together.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace {

using problem = objeval::problem_entry;

// The first failed write's errno: printing runs on any of the threads, and
// errno is each thread's own.
std::atomic<int> write_error{0};

void print_values(std::span<float const> values, bool round_trip) {
  char text[objeval::value_files::fixed_text_capacity + 1];
  for (float const value : values) {
    bool written;
    if (round_trip) {
      written = std::printf("%.9g\n", static_cast<double>(value)) > 0;
    } else {
      std::size_t const length = objeval::value_files::print_fixed(value, text);
      text[length] = '\n';
      written = std::fwrite(text, 1, length + 1, stdout) == length + 1;
    }
    if (!written) {
      int expected = 0;
      write_error.compare_exchange_strong(expected, errno);
      return;
    }
  }
}

// Flushes standard output; false, with the reason kept, if it failed.
bool flush_values() {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  int expected = 0;
  write_error.compare_exchange_strong(expected, errno != 0 ? errno : EIO);
  return false;
}

// Whole lines of a chunk, read, then evaluated as one batch. Reading stops
// at the first bad line.
struct piece {
  std::string_view text;
  std::vector<float> values;
  std::vector<float> kept_points;  // in a study: the points, for the log
  std::size_t lines = 0;  // lines read, the bad one included
  std::string error;

  void evaluate(problem const& p, bool keep_points) {
    // A thread's points, kept between pieces: each page a vector touches
    // first is a page fault, and those cost microseconds on a virtual machine.
    thread_local std::vector<float> points;
    std::size_t const dimension = p.info.dimension;
    points.clear();
    lines = 0;
    error.clear();
    for (std::size_t start = 0; start < text.size();) {
      std::size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view const line = text.substr(start, end - start);
      ++lines;
      start = end + 1;
      if (!objeval::points_cli::is_point_line(line)) continue;
      points.resize(points.size() + dimension);
      error = objeval::points_cli::read_point(line, std::span<float>(points).last(dimension));
      if (!error.empty()) {
        points.resize(points.size() - dimension);
        break;
      }
    }
    values.resize(points.size() / dimension);
    if (keep_points) kept_points.assign(points.begin(), points.end());
    if (values.size() == 1)
      values[0] = p.one(points.data());  // the same bits; a batch would fill a whole block of lanes
    else
      p.batch(points.data(), values.size(), values.data(), 1);
  }
};

// Where the values go, in order: standard output and, in a study, the
// run's log, which counts them against its budget.
class answers {
 public:
  answers(bool round_trip, objeval::study::run_log* log) : round_trip_(round_trip), log_(log) {}

  // Prints and logs a piece's values; false once the budget is spent or
  // the log cannot be written.
  bool give(piece const& p) {
    if (!failure_.empty()) return false;
    std::size_t n = p.values.size();
    try {
      if (log_ != nullptr) {
        n = log_->allowed(n);
        std::size_t const d = log_->dimension();
        log_->record(n, p.values.data(), [&](std::size_t k, float* out) {
          std::copy_n(p.kept_points.begin() + static_cast<std::ptrdiff_t>(k * d), d, out);
        });
        log_->flush_full();
      }
    } catch (objeval::study::failure const& f) {
      failure_ = f.message;
    }
    print_values({p.values.data(), n}, round_trip_);
    if (n < p.values.size())
      failure_ = "the budget of " + std::to_string(log_->evaluations()) + " evaluations is spent";
    return failure_.empty();
  }
  // Why the values stopped: a spent budget or a log that cannot be written.
  std::string const& failure() const { return failure_; }
  bool budget_spent() const { return failure_.starts_with("the budget"); }

 private:
  bool round_trip_;
  objeval::study::run_log* log_;
  std::string failure_;
};

// A chunk of input and what became of it.
struct chunk {
  objeval::points_cli::input_chunk input;
  std::size_t skipped_lines = 0;  // before the first piece: a header and the comments before it
  std::vector<piece> pieces;
  std::size_t used = 0;  // pieces of this chunk

  // Splits the whole lines into pieces of a whole number of `grain` lines,
  // the most that fit in `bytes` at the first line's length: where lines are alike, a
  // batch of whole blocks, which runs one block's code where a part-filled
  // block would fault in another's. No line is counted: the points are
  // read by the threads, not here.
  void split(std::size_t begin, std::size_t bytes, std::size_t grain) {
    std::string_view const text = input.lines();
    used = 0;
    if (begin >= text.size()) return;
    std::size_t const line = std::min(text.find('\n', begin), text.size() - 1) + 1 - begin;
    std::size_t const span = std::max<std::size_t>(bytes / line / grain, 1) * grain * line;
    while (begin < text.size()) {
      std::size_t end = begin + span <= text.size() ? text.find('\n', begin + span - 1) : std::string_view::npos;
      end = end == std::string_view::npos ? text.size() : end + 1;
      if (used == pieces.size()) pieces.emplace_back();
      pieces[used++].text = text.substr(begin, end - begin);
      begin = end;
    }
  }
  void print(answers& to) const {
    for (std::size_t p = 0; p < used && to.give(pieces[p]); ++p) {
    }
  }
  // Prints the values up to the first bad line, counting the lines; returns
  // the bad line's message, or nothing.
  std::string print_to_error(answers& to, std::size_t& line_number) const {
    line_number += skipped_lines;
    for (std::size_t p = 0; p < used; ++p) {
      if (!to.give(pieces[p])) return {};
      line_number += pieces[p].lines;
      if (!pieces[p].error.empty()) return "line " + std::to_string(line_number) + ": " + pieces[p].error;
    }
    return {};
  }
  bool failed() const {
    return std::any_of(pieces.begin(), pieces.begin() + static_cast<std::ptrdiff_t>(used),
                       [](piece const& p) { return !p.error.empty(); });
  }
  std::size_t lines() const {
    std::size_t count = skipped_lines;
    for (std::size_t p = 0; p < used; ++p) count += pieces[p].lines;
    return count;
  }
};

// Where a --header line ends in `text`, with the lines up to it counted;
// nullopt if `text` holds only comments and blank lines.
std::optional<std::size_t> after_header(std::string_view text, std::size_t& lines) {
  for (std::size_t start = 0; start < text.size(); ++lines) {
    std::size_t end = text.find('\n', start);
    end = end == std::string_view::npos ? text.size() : end + 1;
    if (objeval::points_cli::is_point_line(text.substr(start, end - start))) {
      ++lines;
      return end;
    }
    start = end;
  }
  return std::nullopt;
}

int fail_input(char const* doing, std::string const& name, int error) {
  std::fprintf(stderr, "objeval-eval: cannot %s %s: %s\n", doing, name.c_str(), std::strerror(error));
  return 2;
}

// How a run ended: a message, and the exit status it takes.
struct outcome {
  std::string error;
  int status = 1;
};

// FILE, or standard input for none or "-"; an exit status where it cannot
// be read.
std::variant<objeval::points_cli::input_source, int> open_input(std::string_view file) {
  objeval::points_cli::input_source in{0, "standard input"};
  if (!file.empty() && file != "-") {
    in.name = std::string(file);
    in.fd = ::open(in.name.c_str(), O_RDONLY | O_CLOEXEC);
    if (in.fd < 0) return fail_input("open", in.name, errno);
  }
  struct stat status;
  if (fstat(in.fd, &status) != 0) return fail_input("read", in.name, errno);
  if (S_ISDIR(status.st_mode)) return fail_input(in.fd == 0 ? "read" : "open", in.name, EISDIR);
  in.regular = S_ISREG(status.st_mode);
  return in;
}

// Answers every line of `in`, chunk by chunk: while the threads evaluate
// one chunk's pieces, one of them reads the next chunk and another prints
// the values of the last. Chunks grow from small, so that the threads
// start soon, to large, so that waiting for the slowest piece at each
// chunk's end costs little. About 100 points a piece at about ten bytes a
// number, down to a whole number of the problem's grain (64 doorcost
// points, 96 quadobj): whole blocks of the batch, few enough that the
// threads finish a chunk together. Where the input pauses, the chunk is
// answered whole before more is read.
outcome answer(objeval::points_cli::settings const& chosen, objeval::points_cli::input_source& in,
               answers& to) {
  outcome outcome;
  std::size_t const piece_bytes = chosen.problem->info.dimension << 10;
  constexpr std::size_t first_chunk_bytes = std::size_t{1} << 18;
  // With the room kept for a carried line, a buffer is two 2 MiB pages.
  constexpr std::size_t chunk_bytes = (std::size_t{1} << 22) - (std::size_t{1} << 16);
  chunk chunks[2];
  chunk* current = &chunks[0];
  chunk* other = &chunks[1];
  for (chunk& c : chunks) c.input.reserve(chunk_bytes);  // faulted in once, not at each size
  objeval::points_cli::read_chunk(in, {}, first_chunk_bytes, true, false, current->input);
  std::size_t next_bytes = first_chunk_bytes;
  std::size_t line_number = 0;  // lines before the current chunk
  bool header_pending = chosen.header, printing = false;
  for (;;) {
    std::size_t begin = 0;
    current->skipped_lines = 0;
    if (header_pending) {
      std::optional<std::size_t> const end = after_header(current->input.lines(), current->skipped_lines);
      header_pending = !end;
      begin = end.value_or(current->input.complete);
    }
    current->split(begin, piece_bytes, chosen.problem->grain);

    objeval::points_cli::input_chunk const& input = current->input;
    bool const read_ahead = !input.last && !input.paused && !input.too_long;
    next_bytes = std::min(2 * next_bytes, chunk_bytes);
    std::size_t const tasks = 2 + current->used;  // reading, printing, then each piece
    std::size_t const busy = current->used + read_ahead + (printing && other->used != 0);
    std::atomic<std::size_t> next_task{0};
    objeval::run_together(std::min<std::size_t>(chosen.threads, busy), [&] {
      for (std::size_t task; (task = next_task.fetch_add(1, std::memory_order_relaxed)) < tasks;) {
        if (task == 0 && read_ahead) {
          objeval::points_cli::read_chunk(in, current->input.rest(), next_bytes, false, true, other->input);
        } else if (task == 1 && printing) {
          other->print(to);
        } else if (task >= 2) {
          current->pieces[task - 2].evaluate(*chosen.problem, chosen.study());
        }
      }
    });
    if (std::ferror(stdout) || !to.failure().empty()) break;

    if (!read_ahead || current->failed()) {
      // Every line held is answered before the program reads on or ends.
      outcome.error = current->print_to_error(to, line_number);
      if (!flush_values() || !outcome.error.empty() || !to.failure().empty()) break;
      if (input.too_long) {
        outcome.error = "line " + std::to_string(line_number + 1) + ": longer than 64 MiB";
        break;
      }
      if (input.error != 0) {
        outcome = {"cannot read " + in.name + ": " + std::strerror(input.error), 2};
        break;
      }
      if (input.last) break;
      objeval::points_cli::read_chunk(in, input.rest(), next_bytes, true, false, other->input);
      printing = false;
    } else {
      line_number += current->lines();
      printing = true;
    }
    std::swap(current, other);
  }
  return outcome;
}

// The run this invocation is, added to the study in --log FOLDER: one run of
// many, by design, so adding to the runs there says nothing.
std::unique_ptr<objeval::study::run_log> start_run(objeval::points_cli::settings const& chosen) {
  auto attributes = objeval::study::parse_attributes(chosen.attributes);
  if (std::none_of(attributes.begin(), attributes.end(), [](auto const& a) { return a.first == "language"; }))
    attributes.emplace_back("language", "objeval-eval " OBJEVAL_VERSION_TEXT);
  unsigned const options = objeval::study::add_runs | (chosen.durable ? objeval::study::durable : 0);
  auto study = objeval::study::open_study(std::string(chosen.log_folder), std::string(chosen.algorithm),
                                          std::string(chosen.info), options);
  objeval::study::problem_files files(study->folder, *chosen.problem);
  return std::make_unique<objeval::study::run_log>(std::move(study), std::move(files), chosen.budget,
                                                   std::move(attributes));
}

// In a study, SIGINT, SIGTERM and SIGHUP end the input: the lines read are
// answered, the run ends and joins the study, and the program then ends by
// the same signal. The handler writes to a pipe that the reader watches.
std::atomic<int> stop_signal{0};
int stop_pipe[2] = {-1, -1};

void stop_on_signals() {
  if (::pipe2(stop_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction action {};
  action.sa_handler = [](int signal) {
    stop_signal.store(signal);
    int const saved = errno;
    (void)!::write(stop_pipe[1], "x", 1);
    errno = saved;
  };
  sigemptyset(&action.sa_mask);
  for (int const signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

int check(std::string_view folder) {
  try {
    objeval::study::check_summary const summary =
        objeval::study::check_study(std::string(folder), [](std::string const& line) { std::printf("%s\n", line.c_str()); });
    return flush_values() && summary.faults == 0 ? 0 : 1;
  } catch (objeval::study::failure const& f) {
    std::fprintf(stderr, "objeval-eval: %s\n", f.message.c_str());
    return 2;
  }
}

}  // namespace

int main(int argc, char** argv) {
  auto const parsed = objeval::points_cli::parse_arguments(argc, argv);
  if (int const* status = std::get_if<int>(&parsed)) return *status;
  auto const& chosen = std::get<objeval::points_cli::settings>(parsed);
  if (!chosen.check_folder.empty()) return check(chosen.check_folder);
  auto opened = open_input(chosen.file);
  if (int const* status = std::get_if<int>(&opened)) return *status;
  std::get<objeval::points_cli::input_source>(opened).spin_microseconds = chosen.spin_microseconds;
  static char output_buffer[1 << 16];
  std::setvbuf(stdout, output_buffer, _IOFBF, sizeof output_buffer);

  // In a study, the run's log: every value answered is an evaluation.
  std::unique_ptr<objeval::study::run_log> log;
  try {
    if (chosen.study()) log = start_run(chosen);
  } catch (objeval::study::failure const& f) {
    std::fprintf(stderr, "objeval-eval: %s\n", f.message.c_str());
    return 2;
  }
  auto& input = std::get<objeval::points_cli::input_source>(opened);
  if (log) {
    stop_on_signals();
    input.stop_fd = stop_pipe[0];
  }
  answers to(chosen.round_trip, log.get());
  outcome ended = answer(chosen, input, to);
  bool const written = flush_values();
  int const stopped_by = stop_signal.load();
  try {
    if (log && stopped_by != 0)
      log->end(objeval::study::ending::by_signal,
               stopped_by == SIGINT ? "SIGINT" : stopped_by == SIGTERM ? "SIGTERM" : "SIGHUP");
    else if (log)
      log->end();
  } catch (objeval::study::failure const& f) {
    if (ended.error.empty()) ended = {f.message, 1};
  }
  if (stopped_by != 0) {
    std::fprintf(stderr, "objeval-eval: stopped by %s after %llu evaluations%s\n", strsignal(stopped_by),
                 static_cast<unsigned long long>(log->evaluations()),
                 ended.error.empty() ? ", the run ended and in the study" : "");
    if (!ended.error.empty()) std::fprintf(stderr, "objeval-eval: %s\n", ended.error.c_str());
    std::fflush(stderr);
    ::signal(stopped_by, SIG_DFL);
    ::raise(stopped_by);
    return 128 + stopped_by;
  }
  if (ended.error.empty() && !to.failure().empty()) ended = {to.failure(), to.budget_spent() ? 3 : 1};
  if (!ended.error.empty()) {
    std::fprintf(stderr, "objeval-eval: %s\n", ended.error.c_str());
    return ended.status;
  }
  if (!written) {
    // A caller that closed its end has gone: nothing to tell it.
    if (write_error != EPIPE)
      std::fprintf(stderr, "objeval-eval: cannot write the values: %s\n", std::strerror(write_error));
    return 1;
  }
  return 0;
}
