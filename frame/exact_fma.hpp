// SPDX-License-Identifier: MIT
// a * b + c with one rounding, in integer arithmetic: what a program without
// the C library uses where the CPU has no FMA instruction.
#pragma once

#include "frame/binary_rounding.hpp"

#include <bit>
#include <cstdint>

namespace objeval {

namespace detail {

struct exact_binary {
  bool negative;
  uint128 m;
  std::int64_t e;  // the value is (-1)^negative * m * 2^e
};

template <class T>
exact_binary split(T x) noexcept {
  using format = binary_format<T>;
  constexpr int p = format::precision;
  auto const bits = std::bit_cast<typename format::bits>(x);
  auto const field = static_cast<std::int64_t>(bits >> (p - 1)) & (2 * format::max_exponent + 1);
  uint128 const fraction = bits & ((typename format::bits{1} << (p - 1)) - 1);
  bool const negative = (bits >> (sizeof(T) * 8 - 1)) != 0;
  if (field == 0) return {negative, fraction, 1 - format::max_exponent - (p - 1)};
  return {negative, fraction | uint128{1} << (p - 1), field - format::max_exponent - (p - 1)};
}

// Places m's top bit at bit 125, leaving room for the carry of a sum.
inline void normalise(exact_binary& x) noexcept {
  int const up = 125 - highest_bit(x.m);
  x.m <<= up;
  x.e -= up;
}

}  // namespace detail

template <class T>
T exact_fma(T a, T b, T c) noexcept {
  bool const a_finite = a - a == a - a, b_finite = b - b == b - b;
  if (!a_finite || !b_finite) return a * b + c;  // the product is exactly inf or NaN
  if (c - c != c - c) return c + c;              // inf stays, NaN is quieted
  if (a == 0 || b == 0) return a * b + c;        // an exact zero product: the sign rules of +

  detail::exact_binary const x = detail::split(a), y = detail::split(b);
  detail::exact_binary big{x.negative != y.negative, x.m * y.m, x.e + y.e};
  if (c == 0) return round_binary<T>(big.negative, big.m, big.e);

  detail::exact_binary small = detail::split(c);
  detail::normalise(big);
  detail::normalise(small);
  if (small.e > big.e) {
    detail::exact_binary const t = big;
    big = small;
    small = t;
  }
  std::int64_t const apart = big.e - small.e;
  // Bits shifted out survive as one sticky bit, far below the rounding point.
  uint128 const aligned = apart >= 126 ? 1 : small.m >> apart | ((small.m & ((uint128{1} << apart) - 1)) != 0);
  if (big.negative == small.negative) return round_binary<T>(big.negative, big.m + aligned, big.e);
  if (big.m == aligned) return T(0);
  if (big.m > aligned) return round_binary<T>(big.negative, big.m - aligned, big.e);
  return round_binary<T>(small.negative, aligned - big.m, big.e);
}

}  // namespace objeval
