// SPDX-License-Identifier: MIT
// What a run says on standard error, in one line, when "input.txt" did not
// hold the numbers it needs: fewer of them, or text that is not a number.
// The slots no read filled stay 0 and the run goes on, as it always has;
// the line only makes the fault visible. Good input says nothing. Built by
// hand, so that the frame without the C library says the same.
#pragma once

#include "frame/run_outcome.hpp"

#include <cstddef>

namespace objeval::value_files {

class input_notice {
 public:
  static constexpr std::size_t shown_bytes = 16;
  static constexpr std::size_t capacity = 200;

  explicit input_notice(std::size_t expected) noexcept : expected_(expected), first_failed_(expected) {}

  // Read n filled its slot, or failed; `at` holds what stood where it
  // failed (nothing at the end of the input).
  void filled() noexcept { ++read_; }
  void failed(std::size_t n, char const* at, std::size_t size) noexcept {
    if (first_failed_ != expected_) return;
    first_failed_ = n;
    for (shown_ = 0; shown_ < size && shown_ < shown_bytes; ++shown_) text_[shown_] = at[shown_];
  }
  bool any() const noexcept { return first_failed_ != expected_; }

  // The line, with its end; returns its length.
  std::size_t describe(char (&out)[capacity]) const noexcept {
    line l{out};
    l.add(input_name).add(": ");
    if (shown_ == 0 && read_ == first_failed_) {
      l.add(read_).add(read_ == 1 ? " number where " : " numbers where ").add(expected_).add(" were expected");
      l.add(read_ + 1 == expected_ ? "; the last is 0\n" : "; the rest are 0\n");
      return l.size;
    }
    l.add(read_).add(" of ").add(expected_).add(" numbers read; number ").add(first_failed_ + 1);
    l.add(" is not a number, at \"");
    for (std::size_t k = 0; k < shown_; ++k) l.byte(static_cast<unsigned char>(text_[k]));
    l.add("\"");
    if (shown_ >= 3 && text_[0] == '\xef' && text_[1] == '\xbb' && text_[2] == '\xbf') l.add(" (a byte-order mark)");
    l.add("; every slot not read is 0\n");
    return l.size;
  }

 private:
  struct line {
    char* out;
    std::size_t size = 0;
    line& add(char const* text) noexcept {
      while (*text != '\0') out[size++] = *text++;
      return *this;
    }
    line& add(std::size_t n) noexcept {
      char digits[20];
      std::size_t count = 0;
      do digits[count++] = static_cast<char>('0' + n % 10);
      while ((n /= 10) != 0);
      while (count > 0) out[size++] = digits[--count];
      return *this;
    }
    // Printable ASCII as it is, anything else (a line end, a NUL) as \xHH.
    void byte(unsigned char c) noexcept {
      if (c >= ' ' && c < 0x7f && c != '"' && c != '\\') {
        out[size++] = static_cast<char>(c);
        return;
      }
      out[size++] = '\\';
      out[size++] = 'x';
      out[size++] = "0123456789abcdef"[c >> 4];
      out[size++] = "0123456789abcdef"[c & 15];
    }
  };

  std::size_t expected_;
  std::size_t read_ = 0;
  std::size_t first_failed_;
  std::size_t shown_ = 0;
  char text_[shown_bytes] = {};
};

}  // namespace objeval::value_files
