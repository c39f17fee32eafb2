// SPDX-License-Identifier: MIT
// The writer of the frame without the C library against glibc's "%f".
// tools/check_print_fixed_all.cpp covers all 2^32 floats; this covers the
// cases that go wrong first, and a random sample.
#include "frame/print_fixed.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

namespace {

::testing::AssertionResult prints_like_printf(std::uint32_t bits) {
  float const value = std::bit_cast<float>(bits);
  char expected[64];
  std::snprintf(expected, sizeof expected, "%f", static_cast<double>(value));
  char text[objeval::value_files::fixed_text_capacity];
  std::string const actual(text, objeval::value_files::print_fixed(value, text));
  if (actual == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << std::hexfloat << value << " (bits " << std::hex << bits << "): \"" << actual
                                       << "\", printf \"" << expected << "\"";
}

// Powers of two from the smallest subnormal to the largest: the carries of
// the integer part and the last fraction digits.
TEST(PrintFixed, EveryPowerOfTwo) {
  for (std::uint32_t bits = 1; bits != 0 && bits < 0x800000; bits <<= 1) {
    ASSERT_TRUE(prints_like_printf(bits));
    ASSERT_TRUE(prints_like_printf(bits | 0x80000000));
  }
  for (std::uint32_t field = 1; field < 255; ++field) {
    ASSERT_TRUE(prints_like_printf(field << 23));
    ASSERT_TRUE(prints_like_printf(field << 23 | 0x80000000));
  }
}

// Every float exactly halfway at the seventh decimal is j/128 for an odd j:
// all of them round to even.
TEST(PrintFixed, EveryTieAtTheSeventhDecimal) {
  for (std::uint32_t j = 1; j < (1u << 24); j += 2) {
    float const tie = static_cast<float>(j) / 128.0f;
    ASSERT_TRUE(prints_like_printf(std::bit_cast<std::uint32_t>(tie)));
    ASSERT_TRUE(prints_like_printf(std::bit_cast<std::uint32_t>(-tie)));
  }
}

TEST(PrintFixed, SpecialValuesAndTheLargestFloats) {
  for (std::uint32_t bits : {0x00000000u, 0x80000000u, 0x7f800000u, 0xff800000u, 0x7fc00000u, 0xffc00000u,
                             0x7f800001u, 0x7f7fffffu, 0xff7fffffu, 0x7f7ffffeu, 0x3f7fffffu, 0x00000001u})
    EXPECT_TRUE(prints_like_printf(bits));
}

TEST(PrintFixed, RandomBitPatterns) {
  std::mt19937 random(20261208);
  for (int n = 0; n < 2000000; ++n) ASSERT_TRUE(prints_like_printf(static_cast<std::uint32_t>(random())));
}

}  // namespace
