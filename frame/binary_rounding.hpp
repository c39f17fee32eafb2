// SPDX-License-Identifier: MIT
// Rounds an exact binary value m * 2^e to float or double, to nearest with
// ties to even, through subnormals and up to infinity: the one rounding step
// that reading hexadecimal text and a fused multiply-add in software share.
#pragma once

#include "frame/exact_arithmetic.hpp"

#include <bit>
#include <cstdint>

namespace objeval {

__extension__ typedef unsigned __int128 uint128;

template <class T>
struct binary_format;
template <>
struct binary_format<float> {
  using bits = std::uint32_t;
  static constexpr int precision = 24, max_exponent = 127;
};
template <>
struct binary_format<double> {
  using bits = std::uint64_t;
  static constexpr int precision = 53, max_exponent = 1023;
};

inline int highest_bit(uint128 m) noexcept {
  auto const high = static_cast<std::uint64_t>(m >> 64);
  return high != 0 ? 127 - std::countl_zero(high) : 63 - std::countl_zero(static_cast<std::uint64_t>(m));
}

// The T nearest to (-1)^negative * m * 2^e; m == 0 gives a zero of that sign.
template <class T>
T round_binary(bool negative, uint128 m, std::int64_t e) noexcept {
  using format = binary_format<T>;
  using bits = typename format::bits;
  constexpr int p = format::precision;
  constexpr std::int64_t min_ulp_exponent = 1 - format::max_exponent - (p - 1);
  constexpr bits sign_bit = bits{1} << (sizeof(T) * 8 - 1);
  constexpr bits infinity = bits{2 * format::max_exponent + 1} << (p - 1);
  bits const sign = negative ? sign_bit : 0;
  if (m == 0) return std::bit_cast<T>(sign);

  std::int64_t const top_exponent = e + highest_bit(m);
  if (top_exponent > format::max_exponent) return std::bit_cast<T>(sign | infinity);
  std::int64_t ulp_exponent = top_exponent - (p - 1) > min_ulp_exponent ? top_exponent - (p - 1) : min_ulp_exponent;
  std::int64_t const shift = ulp_exponent - e;

  uint128 q;
  if (shift <= 0) {
    q = m << -shift;
  } else if (shift > 128) {
    q = 0;  // below a quarter of the smallest subnormal
  } else {
    q = shift == 128 ? 0 : m >> shift;
    uint128 const rest = shift == 128 ? m : m & ((uint128{1} << shift) - 1);
    uint128 const half = uint128{1} << (shift - 1);
    if (rest > half || (rest == half && (q & 1) != 0)) ++q;
  }
  if (q >> p != 0) {
    q >>= 1;
    ++ulp_exponent;
  }
  constexpr uint128 hidden = uint128{1} << (p - 1);
  if (q < hidden) return std::bit_cast<T>(static_cast<bits>(sign | static_cast<bits>(q)));
  std::int64_t const biased = ulp_exponent + (p - 1) + format::max_exponent;
  if (biased >= 2 * format::max_exponent + 1) return std::bit_cast<T>(sign | infinity);
  return std::bit_cast<T>(
      static_cast<bits>(sign | static_cast<bits>(biased) << (p - 1) | static_cast<bits>(q - hidden)));
}

}  // namespace objeval
