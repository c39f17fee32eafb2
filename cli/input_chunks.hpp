// SPDX-License-Identifier: MIT
// The input in chunks of whole lines. A chunk is read into a buffer of its
// own while the chunk before it is still being evaluated from another, so a
// chunk starts with the partial line that ended the one before.
//
// A caller that writes a line and waits for its value (a coprocess) must get
// it: from a pipe or a terminal, a chunk also ends where no more input is
// waiting, and the reader waits for input only when every value read so far
// has been written. A regular file never pauses.
#pragma once

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include <poll.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace objeval::points_cli {

// No line may be longer: past it, a line is refused rather than read into
// ever more memory.
constexpr std::size_t longest_line = std::size_t{64} << 20;

struct free_memory {
  void operator()(char* p) const noexcept { std::free(p); }
};

// Where the text is read from.
struct input_source {
  int fd = 0;
  std::string name;      // for messages: the file's name, or "standard input"
  bool regular = false;  // a regular file: every byte is there, nothing to wait for
  bool at_start = true;  // a byte-order mark may come
  // How lines end, as the first line end says: "\n" (and "\r\n", its "\r"
  // being white space), or a lone "\r", which then ends every line. Only
  // then is the text searched for "\r": the search costs a run 6%.
  enum class line_ends { unknown, newline, carriage_return } ends = line_ends::unknown;

  // Settles `ends` from the text read so far, which holds no line end
  // before `from`, if it can: at the end of the input (or where the input
  // pauses) a final "\r" ends a line.
  void learn_line_ends(std::string_view text, std::size_t from, bool at_end) noexcept {
    if (ends != line_ends::unknown) return;
    std::size_t const first = text.find_first_of("\r\n", from);
    if (first == std::string_view::npos) return;
    if (text[first] == '\n') {
      ends = line_ends::newline;
    } else if (first + 1 < text.size()) {
      ends = text[first + 1] == '\n' ? line_ends::newline : line_ends::carriage_return;
    } else if (at_end) {
      ends = line_ends::carriage_return;
    }
  }

  // Where a stop is asked for: readable once reading must end (a pipe a
  // signal handler writes to); -1 for never.
  int stop_fd = -1;
  bool stop_asked() const noexcept {
    if (stop_fd < 0) return false;
    pollfd p{stop_fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
  }
  // Waits for input, or the end of it; false where a stop is asked first.
  bool wait_for_input() const noexcept {
    if (regular || stop_fd < 0) return !stop_asked();
    pollfd p[2] = {{fd, POLLIN, 0}, {stop_fd, POLLIN, 0}};
    while (::poll(p, 2, -1) < 0 && errno == EINTR) {
    }
    return p[1].revents == 0;
  }

  // Whether a read would find input (or the end of it) within `patience`
  // milliseconds.
  bool waiting(int patience) const noexcept {
    if (regular) return true;
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, patience) > 0;
  }

  // How long a reader that would wait for input first asks, awake, whether
  // it has come: a CPU that halts takes tens of microseconds to wake on some
  // virtual machines (some 40 on Intel 167), more than a coprocess's round
  // trip. At most this much CPU time goes a line; 0: none, it sleeps at
  // once, which measured best on Zen 3 (bench/coprocess_spin.py).
  unsigned spin_microseconds = 0;

  void spin_for_input() const noexcept {
    if (regular || spin_microseconds == 0) return;
    auto const until = std::chrono::steady_clock::now() + std::chrono::microseconds(spin_microseconds);
    // Yielding, not pausing: where the caller shares this CPU, it runs.
    while (!waiting(0) && std::chrono::steady_clock::now() < until) sched_yield();
  }
};

struct input_chunk {
  std::unique_ptr<char[], free_memory> buffer;
  std::size_t capacity = 0;
  std::size_t size = 0;      // bytes held
  std::size_t complete = 0;  // bytes of whole lines: those evaluated
  bool last = false;         // the input ended here
  bool paused = false;       // no more input was waiting: answer before reading on
  bool too_long = false;     // a line longer than longest_line starts here
  bool stopped = false;      // a stop was asked: the lines held are the last
  int error = 0;             // errno of a failed read, or 0

  std::string_view lines() const noexcept { return {buffer.get(), complete}; }
  std::string_view rest() const noexcept { return {buffer.get() + complete, size - complete}; }

  // Room for `bytes`, what is held kept. In pages of 2 MiB where the system
  // has them: every page touched first costs a fault, microseconds on a
  // virtual machine.
  void reserve(std::size_t bytes) {
    if (bytes <= capacity) return;
    constexpr std::size_t huge_page = std::size_t{1} << 21;
    std::size_t const larger = (bytes + (std::size_t{1} << 16) + huge_page - 1) / huge_page * huge_page;
    std::unique_ptr<char[], free_memory> replacement(static_cast<char*>(std::aligned_alloc(huge_page, larger)));
    if (!replacement) throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
    madvise(replacement.get(), larger, MADV_HUGEPAGE);
#endif
    if (size != 0) std::memcpy(replacement.get(), buffer.get(), size);
    buffer = std::move(replacement);
    capacity = larger;
  }
};

// Where lines end in a lone "\r" (old spreadsheet exports), each becomes "\n"
// as it is read. A "\r" at the end of what is held waits for the next byte,
// unless the input ends there.
inline std::size_t mend_line_ends(char* text, std::size_t from, std::size_t size, bool at_end) noexcept {
  for (char* cr; from < size && (cr = static_cast<char*>(std::memchr(text + from, '\r', size - from))) != nullptr;) {
    std::size_t const at = static_cast<std::size_t>(cr - text);
    if (at + 1 == size && !at_end) return at;
    if (at + 1 == size || text[at + 1] != '\n') *cr = '\n';
    from = at + 1;
  }
  return size;
}

// The line ends of what `into` holds past `from`, as `in` has them; returns
// where the next call starts. Each byte is searched once: a first line read
// through a pipe 64 KiB at a time, searched from its start after each read,
// took quadratic time (80 s for 60 MB).
inline std::size_t mend(input_source& in, input_chunk& into, std::size_t from, bool at_end) noexcept {
  in.learn_line_ends({into.buffer.get(), into.size}, from, at_end);
  switch (in.ends) {
    case input_source::line_ends::newline: return into.size;
    case input_source::line_ends::unknown:  // no line end yet, but perhaps a "\r" that ends the text
      return into.size != 0 && into.buffer[into.size - 1] == '\r' ? into.size - 1 : into.size;
    case input_source::line_ends::carriage_return: break;
  }
  return mend_line_ends(into.buffer.get(), from, into.size, at_end);
}

// Reads about `bytes` more of `in` into `into`, after the partial line that
// `before` ended with: on until a line ends or the input does, however long
// the line, up to longest_line. The first read waits for input if `wait`;
// past it, reading stops where no more input is waiting (`paused`), with
// the patience a `streaming` writer gets. A UTF-8 byte-order mark at the
// start of the input is skipped, as spreadsheets write one.
// A writer that streams (it filled a pipe, or a chunk) is given a
// millisecond to write more before the input counts as paused: on a machine
// whose CPUs the evaluating threads keep busy, it may wait that long for one
// (`cat points | objeval-eval --threads 2` took 1.5 times as long without).
// A caller that writes a line and waits for its value is answered at once.
constexpr int streaming_patience_ms = 1;
constexpr std::size_t streaming_read = std::size_t{1} << 16;  // a full pipe, as Linux makes them

inline void read_chunk(input_source& in, std::string_view carried, std::size_t bytes, bool wait, bool streaming,
                       input_chunk& into) {
  into.size = 0;
  std::size_t limit = carried.size() + bytes;
  into.reserve(limit);
  if (!carried.empty()) std::memcpy(into.buffer.get(), carried.data(), carried.size());
  into.size = carried.size();
  into.last = into.paused = into.too_long = into.stopped = false;
  into.error = 0;
  std::size_t mended = 0;  // bytes whose line ends are settled
  // Whether a line end is held, so that a pause has a line to answer; until
  // then the reader waits. Ending the chunk there would copy the line so far
  // into the next one, at every pause of a slow writer.
  bool answerable = false;
  if (wait) in.spin_for_input();
  for (bool may_wait = wait;; may_wait = false) {
    if (!may_wait && answerable && !in.waiting(streaming ? streaming_patience_ms : 0)) {
      into.paused = true;
      mend(in, into, mended, true);  // a caller waiting for its value ended its line
      break;
    }
    if (in.stop_fd >= 0 && (may_wait ? !in.wait_for_input() : in.stop_asked())) {
      into.last = into.stopped = true;  // a line cut short is not evaluated
      break;
    }
    ssize_t const got = ::read(in.fd, into.buffer.get() + into.size, limit - into.size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      into.error = got < 0 ? errno : 0;
      into.last = true;
      break;
    }
    answerable = answerable || std::string_view(into.buffer.get() + into.size, static_cast<std::size_t>(got))
                                       .find_first_of("\r\n") != std::string_view::npos;
    into.size += static_cast<std::size_t>(got);
    streaming = streaming || static_cast<std::size_t>(got) >= streaming_read;
    if (in.at_start) {
      in.at_start = false;
      if (into.size >= 3 && std::memcmp(into.buffer.get(), "\xef\xbb\xbf", 3) == 0) {
        std::memmove(into.buffer.get(), into.buffer.get() + 3, into.size - 3);
        into.size -= 3;
      }
    }
    mended = mend(in, into, mended, false);
    if (into.size < limit) continue;
    // Full: done at a line end, if one is held; what was carried holds none.
    if (std::string_view(into.buffer.get(), into.size).rfind('\n') != std::string_view::npos) break;
    if (into.size > longest_line) {
      into.too_long = true;
      into.complete = 0;
      return;
    }
    limit = limit * 2 < longest_line + 1 ? limit * 2 : longest_line + 1;  // a line longer than the chunk
    into.reserve(limit);
  }
  if (into.last && into.error == 0 && !into.stopped) {
    in.at_start = false;
    mend(in, into, mended, true);
    into.complete = into.size;
    return;
  }
  // A read that failed may have cut the last line short: it is not evaluated.
  std::size_t const line_end = std::string_view(into.buffer.get(), into.size).rfind('\n');
  into.complete = line_end == std::string_view::npos ? 0 : line_end + 1;
  if (into.complete == 0 && into.size > longest_line) into.too_long = true;
}

}  // namespace objeval::points_cli
