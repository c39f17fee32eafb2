// SPDX-License-Identifier: MIT
// The software fused multiply-add that programs without the C library use
// where the CPU has no FMA instruction, against the instruction itself.
#include "frame/exact_fma.hpp"
#include "float_bits.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

namespace {

using objeval::exact_fma;
using testing_support::same_bits;

__attribute__((target("fma"))) float hardware_fma(float a, float b, float c) { return __builtin_fmaf(a, b, c); }
__attribute__((target("fma"))) double hardware_fma(double a, double b, double c) { return __builtin_fma(a, b, c); }

// (1 + 2^-12)(1 - 2^-12) - 1 is -2^-24 exactly; a product rounded on its
// own first gives 0.
TEST(ExactFma, RoundsOnceNotTwice) {
  EXPECT_TRUE(same_bits(exact_fma(1 + 0x1p-12f, 1 - 0x1p-12f, -1.0f), -0x1p-24f));
  EXPECT_EQ(exact_fma(1 + 0x1p-27, 1 - 0x1p-27, -1.0), -0x1p-54);
}

// A result in the subnormals rounds once at the subnormal's last place.
TEST(ExactFma, SubnormalResultsAndSignedZeros) {
  EXPECT_TRUE(same_bits(exact_fma(0x1p-75f, 0x1.8p-74f, 0.0f), 0x1p-148f));  // 1.5 ulp: to even, 2 ulp
  EXPECT_TRUE(same_bits(exact_fma(0x1p-75f, 0x1p-75f, -0.0f), 0.0f));              // half an ulp -> even 0
  EXPECT_TRUE(same_bits(exact_fma(-0x1p-75f, 0x1p-75f, 0.0f), -0.0f));             // keeps the product's sign
  EXPECT_TRUE(same_bits(exact_fma(2.0f, 3.0f, -6.0f), 0.0f));                      // exact cancellation is +0
  EXPECT_TRUE(same_bits(exact_fma(-0.0f, 3.0f, -0.0f), -0.0f));
  EXPECT_TRUE(std::isnan(exact_fma(INFINITY, 0.0f, 1.0f)));
  EXPECT_TRUE(same_bits(exact_fma(0x1p127f, 4.0f, -INFINITY), -INFINITY));        // no overflow before the sum
  EXPECT_TRUE(same_bits(exact_fma(0x1p127f, 4.0f, -0x1p127f), INFINITY));
}

template <class T, class Bits>
void compare_with_hardware(std::uint64_t seed) {
  std::mt19937_64 random(seed);
  // Mostly narrow exponents, so that products and addends meet and cancel.
  auto draw = [&random] {
    auto bits = static_cast<Bits>(random());
    constexpr int width = sizeof(Bits) * 8;
    if (random() % 2 != 0) bits = (bits & ~(Bits{0x1f} << (width - 7))) | (Bits{0x0f} << (width - 6));
    if (random() % 8 == 0) bits &= ~(~Bits{0} >> 1 & ~(~Bits{0} >> (width == 32 ? 9 : 12)));  // subnormal
    return std::bit_cast<T>(bits);
  };
  for (int n = 0; n < 1000000; ++n) {
    T const a = draw(), b = draw();
    T const c = n % 3 == 0 ? -(a * b) : draw();
    T const expected = hardware_fma(a, b, c), actual = exact_fma(a, b, c);
    if (std::isnan(expected) && std::isnan(actual)) continue;
    ASSERT_EQ(std::bit_cast<Bits>(actual), std::bit_cast<Bits>(expected))
        << std::hexfloat << "fma(" << a << ", " << b << ", " << c << ") = " << actual << ", hardware " << expected;
  }
}

TEST(ExactFma, MatchesTheInstruction) {
  if (!__builtin_cpu_supports("fma")) GTEST_SKIP() << "this CPU has no FMA instruction";
  compare_with_hardware<float, std::uint32_t>(1);
  compare_with_hardware<double, std::uint64_t>(2);
}

}  // namespace
