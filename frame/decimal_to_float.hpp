// SPDX-License-Identifier: MIT
// Decimal text to the nearest float, correctly rounded, in the C locale.
// fast_float where the build found it (OBJEVAL_FAST_FLOAT): it is header-only,
// so the programs without the C library can use it. Elsewhere the standard
// library's from_chars, which rounds the same way.
#pragma once

#include <cstddef>
#include <limits>
#include <system_error>

#if defined(OBJEVAL_FAST_FLOAT)
#include <fast_float/fast_float.h>
#else
#include <charconv>
#endif

namespace objeval::value_files {

struct decimal_result {
  char const* end;  // where the number ends
  std::errc error;  // std::errc() or std::errc::invalid_argument
};

// Reads [-]digits[.digits][(e|E)[+-]digits] from the start of [first, last).
// A value beyond float's range is infinite, one below half the smallest
// subnormal is zero: the float nearest to it, as fscanf gives it, where
// from_chars would report it out of range and leave `value` as it was.
inline decimal_result decimal_to_float(char const* first, char const* last, float& value) noexcept {
#if defined(OBJEVAL_FAST_FLOAT)
  auto const [end, error] = fast_float::from_chars(first, last, value);
#else
  auto const [end, error] = std::from_chars(first, last, value);
#endif
  if (error != std::errc::result_out_of_range) return {end, error};
  // Out of range: too large or too small, which the position of the first
  // non-zero digit and the exponent tell apart.
  char const* at = first;
  bool const negative = at != end && *at == '-';
  if (negative) ++at;
  long magnitude = 0;  // the power of ten of the first non-zero digit
  bool point = false, nonzero = false;
  for (; at != end && *at != 'e' && *at != 'E'; ++at) {
    if (*at == '.') {
      point = true;
    } else if (nonzero) {
      if (!point) ++magnitude;
    } else if (*at != '0') {
      nonzero = true;
      if (point) --magnitude;
    } else if (point) {
      --magnitude;
    }
  }
  if (nonzero && at != end) {
    bool const minus = *++at == '-';
    if (*at == '-' || *at == '+') ++at;
    long exponent = 0;
    for (; at != end && exponent < 100000; ++at) exponent = exponent * 10 + (*at - '0');
    magnitude += minus ? -exponent : exponent;
  }
  float const limit = magnitude >= 0 ? std::numeric_limits<float>::infinity() : 0.0f;
  value = negative ? -limit : limit;
  return {end, std::errc()};
}

}  // namespace objeval::value_files
