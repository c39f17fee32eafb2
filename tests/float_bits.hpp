// SPDX-License-Identifier: MIT
// Exact comparison of floating-point results, reported in hexfloat.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <string>

namespace testing_support {

inline std::string hex(float value) {
  char text[64];
  std::snprintf(text, sizeof text, "%a (bits %08x)", static_cast<double>(value),
                std::bit_cast<std::uint32_t>(value));
  return text;
}

inline ::testing::AssertionResult same_bits(float actual, std::uint32_t expected_bits) {
  if (std::bit_cast<std::uint32_t>(actual) == expected_bits) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << hex(actual) << ", want "
                                       << hex(std::bit_cast<float>(expected_bits));
}

inline ::testing::AssertionResult same_bits(float actual, float expected) {
  return same_bits(actual, std::bit_cast<std::uint32_t>(expected));
}

// A fixed stream of signed values with 24 significant bits in [-8, 8):
// sums of them round at almost every step.
class mixed_values {
 public:
  explicit mixed_values(std::uint32_t seed) : state_(seed) {}
  float operator()() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<float>(static_cast<std::int32_t>(state_) >> 8) * 0x1p-20f;
  }

 private:
  std::uint32_t state_;
};

}  // namespace testing_support
