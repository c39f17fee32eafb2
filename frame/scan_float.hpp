// SPDX-License-Identifier: MIT
// Reads one number from a stream of bytes exactly as the C library's
// fscanf("%f") does in the C locale: the same characters taken, the same
// characters left when the text is not a number, the same float.
//
// The conversion takes the longest stretch that may still grow into a
// number, then converts the longest prefix of that stretch which is one.
// So "1e" and "1e+" give 1 and take the "e" and the "+" with them, "0x."
// gives 0, and "infinit", "0x" and "-" fail having taken their text.
//
// Decimal digits are converted by decimal_to_float, correctly rounded. A
// number of any length is held in a bounded buffer: past the digits that can
// decide a rounding, the rest only tells whether anything non-zero followed.
#pragma once

#include "frame/binary_rounding.hpp"
#include "frame/decimal_to_float.hpp"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace objeval::value_files {

// Bytes come from a Source with `int get()` (a byte, or -1 at the end) and
// `void unget()`, which puts back the byte the last get() returned.
template <class Source>
bool scan_float(Source& in, float& slot) noexcept;

namespace detail {

inline bool is_space(int c) noexcept { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool is_digit(int c) noexcept { return c >= '0' && c <= '9'; }
inline int lower(int c) noexcept { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }
inline int hex_value(int c) noexcept {
  if (is_digit(c)) return c - '0';
  int const l = lower(c);
  return l >= 'a' && l <= 'f' ? l - 'a' + 10 : -1;
}

inline std::int64_t saturating_add(std::int64_t a, std::int64_t b) noexcept {
  constexpr std::int64_t limit = std::int64_t{1} << 60;
  std::int64_t const s = a + b;  // |a|, |b| <= 2^60: no overflow
  return s > limit ? limit : s < -limit ? -limit : s;
}

// The value of the digits seen so far: decimal digits as text for
// decimal_to_float, hexadecimal ones as bits. `scale` is the power of ten (or
// of two) that the kept digits, read as a whole number, are multiplied by.
class number_digits {
 public:
  // Beyond the ~113 significant digits of any float rounding boundary, the
  // digits can only say on which side of one the number lies.
  static constexpr int kept_decimal_digits = 200;
  static constexpr int kept_hex_digits = 16;

  void integer_digit(int value) noexcept { add(value, false); }
  void fraction_digit(int value) noexcept { add(value, true); }
  void exponent_digit(int value) noexcept {
    exponent_ = exponent_ < exponent_limit ? exponent_ * 10 + value : exponent_limit;
    exponent_seen_ = true;
  }
  void exponent_sign(int c) noexcept { exponent_negative_ = c == '-'; }
  void hexadecimal() noexcept { hex_ = true; }
  bool any_digit() const noexcept { return mantissa_seen_; }

  float value(bool negative) const noexcept {
    if (kept_ == 0) return negative ? -0.0f : 0.0f;
    std::int64_t exponent = scale_;
    if (exponent_seen_) exponent = saturating_add(exponent, exponent_negative_ ? -exponent_ : exponent_);
    if (hex_) {
      // The sticky bit sits below every kept bit, where it breaks ties only.
      objeval::uint128 const m = objeval::uint128{bits_} << 2 | (sticky_ ? 1 : 0);
      std::int64_t const e = exponent < -100000 ? -100000 : exponent > 100000 ? 100000 : exponent;
      return objeval::round_binary<float>(negative, m, e - 2);
    }
    char text[kept_decimal_digits + 16];
    int length = 0;
    for (int n = 0; n < kept_; ++n) text[length++] = digits_[n];
    if (sticky_) {
      text[length++] = '1';
      --exponent;
    }
    // Past these, every kept mantissa gives zero or infinity.
    exponent = exponent < -99999 ? -99999 : exponent > 99999 ? 99999 : exponent;
    text[length++] = 'e';
    if (exponent < 0) text[length++] = '-';
    std::uint64_t magnitude = static_cast<std::uint64_t>(exponent < 0 ? -exponent : exponent);
    char reversed[8];
    int count = 0;
    do {
      reversed[count++] = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    while (count > 0) text[length++] = reversed[--count];
    float converted = 0;
    decimal_to_float(text, text + length, converted);
    return negative ? -converted : converted;
  }

 private:
  static constexpr std::int64_t exponent_limit = std::int64_t{1} << 40;

  void add(int value, bool fraction) noexcept {
    mantissa_seen_ = true;
    std::int64_t const step = hex_ ? 4 : 1;
    if (kept_ == 0 && value == 0) {
      if (fraction) scale_ = saturating_add(scale_, -step);
      return;
    }
    if (kept_ < (hex_ ? kept_hex_digits : kept_decimal_digits)) {
      if (hex_)
        bits_ = bits_ << 4 | static_cast<std::uint64_t>(value);
      else
        digits_[kept_] = static_cast<char>('0' + value);
      ++kept_;
      if (fraction) scale_ = saturating_add(scale_, -step);
    } else {
      sticky_ = sticky_ || value != 0;
      if (!fraction) scale_ = saturating_add(scale_, step);
    }
  }

  bool hex_ = false;
  bool mantissa_seen_ = false;
  bool sticky_ = false;
  bool exponent_seen_ = false;
  bool exponent_negative_ = false;
  int kept_ = 0;
  std::int64_t scale_ = 0;
  std::int64_t exponent_ = 0;
  std::uint64_t bits_ = 0;
  char digits_[kept_decimal_digits];
};

// Takes the rest of a word after its first letter; false, with the
// mismatching byte taken, where the text turns out to be another word.
template <class Source>
bool take_word(Source& in, char const* rest) noexcept {
  for (; *rest != '\0'; ++rest)
    if (lower(in.get()) != *rest) return false;
  return true;
}

}  // namespace detail

template <class Source>
bool scan_float(Source& in, float& slot) noexcept {
  using detail::lower;
  int c;
  do c = in.get();
  while (detail::is_space(c));
  if (c < 0) return false;

  bool negative = false;
  std::size_t length = 0;  // bytes of the number taken so far: a token may be gigabytes
  if (c == '-' || c == '+') {
    negative = c == '-';
    ++length;
    if ((c = in.get()) < 0) return false;
  }
  std::size_t const sign_length = length;

  if (lower(c) == 'n') {
    if (!detail::take_word(in, "an")) return false;
    slot = std::bit_cast<float>(negative ? 0xffc00000u : 0x7fc00000u);
    return true;
  }
  if (lower(c) == 'i') {
    if (!detail::take_word(in, "nf")) return false;
    c = in.get();
    if (lower(c) == 'i') {
      if (!detail::take_word(in, "nity")) return false;
    } else if (c >= 0) {
      in.unget();
    }
    slot = negative ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
    return true;
  }

  detail::number_digits number;
  bool hex = false, got_digit = false, got_dot = false, got_exponent = false;
  int last = 0;
  if (c == '0') {
    ++length;
    c = in.get();
    if (lower(c) == 'x') {
      ++length;
      hex = true;
      number.hexadecimal();
      c = in.get();
    } else {
      got_digit = true;
      number.integer_digit(0);
    }
  }
  int const exponent_mark = hex ? 'p' : 'e';
  for (;;) {
    if (detail::is_digit(c) || (hex && !got_exponent && detail::hex_value(c) >= 0)) {
      if (got_exponent)
        number.exponent_digit(c - '0');
      else if (got_dot)
        number.fraction_digit(detail::hex_value(c));
      else
        number.integer_digit(detail::hex_value(c));
      got_digit = true;
    } else if (got_exponent && last == exponent_mark && (c == '-' || c == '+')) {
      number.exponent_sign(c);
    } else if (got_digit && !got_exponent && lower(c) == exponent_mark) {
      c = exponent_mark;
      got_exponent = got_dot = true;
    } else if (!got_dot && c == '.') {
      got_dot = true;
    } else {
      if (c >= 0) in.unget();
      break;
    }
    last = c;
    ++length;
    if ((c = in.get()) < 0) break;
  }

  if (length == sign_length || (hex && length == sign_length + 2)) return false;
  // Hexadecimal text with no digit after "0x" is the number 0 followed by
  // other text; decimal text with none is no number at all.
  if (!hex && !number.any_digit()) return false;
  slot = number.value(negative);
  return true;
}

// Bytes already in memory.
class memory_bytes {
 public:
  memory_bytes(char const* text, std::size_t size) noexcept : begin_(text), next_(text), end_(text + size) {}
  int get() noexcept { return next_ != end_ ? static_cast<unsigned char>(*next_++) : -1; }
  void unget() noexcept { --next_; }
  std::size_t taken() const noexcept { return static_cast<std::size_t>(next_ - begin_); }

 private:
  char const* begin_;
  char const* next_;
  char const* end_;
};

}  // namespace objeval::value_files
