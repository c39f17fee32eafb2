// SPDX-License-Identifier: MIT
// The run frame on raw system calls: "input.txt" is read in bounded chunks
// and only as far as N numbers need, "output.txt" is overwritten in place.
#pragma once

#include "frame/bare/system_calls.hpp"
#include "frame/input_notice.hpp"
#include "frame/print_fixed.hpp"
#include "frame/run_outcome.hpp"
#include "frame/scan_float.hpp"

#include <array>
#include <cstddef>
#include <span>

namespace objeval::value_files {

namespace bare_detail {

// The bytes of an open file, one chunk at a time.
class file_bytes {
 public:
  explicit file_bytes(int fd) noexcept : fd_(fd) {}
  int get() noexcept { return next_ != end_ || refill() ? *next_++ : -1; }
  void unget() noexcept { --next_; }
  // The bytes at the reading place, without taking them: what is buffered.
  std::size_t peek(char const*& at) noexcept {
    if (next_ == end_ && !refill()) return 0;
    at = reinterpret_cast<char const*>(next_);
    return static_cast<std::size_t>(end_ - next_);
  }
  bool failed() const noexcept { return failed_; }

 private:
  bool refill() noexcept {
    if (at_end_) return false;
    long got;
    do got = objeval::bare::read_some(fd_, chunk_, sizeof chunk_);
    while (got == -EINTR);
    if (got <= 0) {
      at_end_ = true;
      failed_ = got < 0;
      return false;
    }
    next_ = chunk_;
    end_ = chunk_ + got;
    return true;
  }

  int fd_;
  bool at_end_ = false;
  bool failed_ = false;
  unsigned char* next_ = nullptr;
  unsigned char* end_ = nullptr;
  // A point of nine-digit numbers fits: one read. A larger buffer would
  // reach into one more page of stack, and each page a run touches first
  // costs a fault.
  unsigned char chunk_[4096];
};

template <std::size_t N>
int fail(char const (&message)[N]) noexcept {
  objeval::bare::write_all(1, message, N - 1);  // the message without its terminator
  return failure_status;
}

// Cuts a regular file that was longer than what was just written over it;
// other files (a FIFO, /dev/null) are left as writing left them.
inline bool cut_to(int fd, std::size_t written) noexcept {
  struct stat status {};
  if (objeval::bare::file_status(fd, status) != 0) return false;
  if ((status.st_mode & objeval::bare::file_type_mask) != objeval::bare::regular_file || static_cast<std::size_t>(status.st_size) <= written) return true;
  return objeval::bare::cut_file(fd, written) == 0;
}

}  // namespace bare_detail

// One whole run; the return value is the process exit status.
template <std::size_t N, class Evaluator>
int run(Evaluator evaluate) noexcept {
  std::array<float, N> slots{};

  int const in = objeval::bare::open_file(input_name, O_RDONLY);
  if (in < 0) return bare_detail::fail(input_failure);
  bool read_ok;
  input_notice notice(N);
  {
    bare_detail::file_bytes bytes(in);
    for (std::size_t n = 0; n < N; ++n) {
      if (scan_float(bytes, slots[n])) {
        notice.filled();
      } else if (!notice.any()) {
        char const* at = nullptr;
        std::size_t const size = bytes.peek(at);
        notice.failed(n, at, size);
      }
    }
    read_ok = !bytes.failed();
  }
  // Not closed: the process ends soon, and with it the file. A system call
  // less; a run costs microseconds.
  if (!read_ok) return bare_detail::fail(input_failure);
  if (notice.any()) {
    char line[input_notice::capacity];
    objeval::bare::write_all(2, line, notice.describe(line));
  }

  float const value = evaluate(std::span<float const, N>(slots));
  char text[fixed_text_capacity];
  std::size_t const length = print_fixed(value, text);

  // No O_TRUNC: truncating a file makes the file system flush its new data
  // to disk at close. Writing over it, then cutting it, leaves the same file.
  int const out = objeval::bare::open_file(output_name, O_WRONLY | O_CREAT, 0666);
  if (out < 0) return bare_detail::fail(output_failure);
  bool const written = objeval::bare::write_all(out, text, length) && bare_detail::cut_to(out, length);
  bool const closed = objeval::bare::close_file(out) == 0;
  if (!written || !closed) return bare_detail::fail(write_failure);
  return success_status;
}

}  // namespace objeval::value_files
