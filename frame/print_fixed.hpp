// SPDX-License-Identifier: MIT
// "%f" of a float widened to double, byte for byte as the C library prints
// it: six decimals rounded to nearest with ties to even, every integer digit,
// "-" on any negative value (-0 included), "inf", "nan" and "-nan".
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace objeval::value_files {

// The longest text: "-" and 39 integer digits of the largest float, ".000000".
inline constexpr std::size_t fixed_text_capacity = 48;

namespace detail {

// Appends the decimal digits of m * 2^e (m < 2^24, 0 <= e <= 104), most
// significant first, through base-10^9 limbs: no 128-bit division.
inline char* print_integer(std::uint64_t m, int e, char* out) noexcept {
  constexpr std::uint64_t base = 1000000000;
  std::uint64_t limbs[5] = {m, 0, 0, 0, 0};  // least significant first
  int used = 1;
  while (e > 0) {
    int const step = e < 29 ? e : 29;
    std::uint64_t carry = 0;
    for (int n = 0; n < used; ++n) {
      std::uint64_t const v = (limbs[n] << step) + carry;
      limbs[n] = v % base;
      carry = v / base;
    }
    if (carry != 0) limbs[used++] = carry;
    e -= step;
  }
  char digits[9];
  for (int n = used - 1; n >= 0; --n) {
    std::uint64_t v = limbs[n];
    int count = 0;
    do {
      digits[count++] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v != 0);
    if (n != used - 1)
      while (count < 9) digits[count++] = '0';
    while (count > 0) *out++ = digits[--count];
  }
  return out;
}

}  // namespace detail

// Writes the text to out (fixed_text_capacity bytes, no terminator) and
// returns its length.
inline std::size_t print_fixed(float value, char* out) noexcept {
  auto const bits = std::bit_cast<std::uint32_t>(value);
  char* p = out;
  if (bits >> 31 != 0) *p++ = '-';
  std::uint32_t const field = bits >> 23 & 0xff, fraction = bits & 0x7fffff;
  if (field == 0xff) {
    char const* word = fraction != 0 ? "nan" : "inf";
    for (int n = 0; n < 3; ++n) *p++ = word[n];
    return static_cast<std::size_t>(p - out);
  }
  std::uint64_t const m = field == 0 ? fraction : fraction | 0x800000;
  int const e = field == 0 ? -149 : static_cast<int>(field) - 150;

  std::uint64_t whole = 0, millionths = 0;
  if (e >= 0) {
    p = detail::print_integer(m, e, p);
  } else {
    int const s = -e;
    whole = s < 24 ? m >> s : 0;
    std::uint64_t const rest = s < 24 ? m & ((std::uint64_t{1} << s) - 1) : m;
    // rest / 2^s < 1, and rest * 10^6 < 2^44: beyond s = 45 it is under half.
    if (s <= 45) {
      std::uint64_t const scaled = rest * 1000000;
      millionths = scaled >> s;
      std::uint64_t const remainder = scaled & ((std::uint64_t{1} << s) - 1), half = std::uint64_t{1} << (s - 1);
      if (remainder > half || (remainder == half && (millionths & 1) != 0)) ++millionths;
    }
    if (millionths == 1000000) {
      millionths = 0;
      ++whole;
    }
    p = detail::print_integer(whole, 0, p);
  }
  *p++ = '.';
  for (int n = 5; n >= 0; --n) {
    p[n] = static_cast<char>('0' + millionths % 10);
    millionths /= 10;
  }
  return static_cast<std::size_t>(p + 6 - out);
}

}  // namespace objeval::value_files
