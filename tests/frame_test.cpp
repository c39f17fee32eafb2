// SPDX-License-Identifier: MIT
// The frame's reading and writing, in process, on memory streams.
#include "frame/value_files.hpp"
#include "float_bits.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

namespace {

using testing_support::same_bits;

template <std::size_t N>
std::array<float, N> read_text(std::string text, bool* ok = nullptr) {
  std::array<float, N> slots{};
  std::FILE* in = fmemopen(text.data(), text.size(), "r");
  bool const read_ok = objeval::value_files::read_values<N>(in, slots);
  std::fclose(in);
  if (ok != nullptr) *ok = read_ok;
  return slots;
}

std::string written(float value) {
  char buffer[64] = {};
  std::FILE* out = fmemopen(buffer, sizeof buffer, "w");
  EXPECT_TRUE(objeval::value_files::write_value(out, value));
  std::fclose(out);
  return buffer;
}

TEST(ValueFilesWrite, FixedSixDigitsAndNoLineEnd) {
  EXPECT_EQ(written(123.5f), "123.500000");
  EXPECT_EQ(written(21.315977f), "21.315977");
  EXPECT_EQ(written(-0.0f), "-0.000000");
  EXPECT_EQ(written(1e-7f), "0.000000");
  EXPECT_EQ(written(3.4028235e38f), "340282346638528859811704183484516925440.000000");
  EXPECT_EQ(written(-INFINITY), "-inf");
  EXPECT_EQ(written(NAN), "nan");
  EXPECT_EQ(written(-NAN), "-nan");
}

// Each text converts once, straight to the nearest float: via double, 0.1
// and 16777217 would round twice.
TEST(ValueFilesRead, ConvertsStraightToNearestFloat) {
  auto const s = read_text<4>("0.1 16777217 1.00000005960464477539062500001 0x1.fffffep127");
  EXPECT_TRUE(same_bits(s[0], 0.1f));
  EXPECT_TRUE(same_bits(s[1], 16777216.0f));
  EXPECT_TRUE(same_bits(s[2], 0x1.000002p0f));
  EXPECT_TRUE(same_bits(s[3], 0x1.fffffep127f));
}

TEST(ValueFilesRead, WordsForInfinityAndNaNInAnyCase) {
  auto const s = read_text<4>("inf -INFINITY NaN 1e-46");
  EXPECT_TRUE(std::isinf(s[0]) && s[0] > 0);
  EXPECT_TRUE(std::isinf(s[1]) && s[1] < 0);
  EXPECT_TRUE(std::isnan(s[2]));
  EXPECT_TRUE(same_bits(s[3], 0.0f));
}

TEST(ValueFilesRead, SubnormalsSurviveTheRead) {
  auto const s = read_text<2>("1e-45 -0");
  EXPECT_TRUE(same_bits(s[0], 0x00000001U));
  EXPECT_TRUE(same_bits(s[1], -0.0f));
}

TEST(ValueFilesRead, UnfilledSlotsStayZero) {
  bool ok = false;
  auto const s = read_text<5>("7 x 8", &ok);
  EXPECT_TRUE(ok);  // malformed text is not a read error
  EXPECT_EQ(s, (std::array<float, 5>{7, 0, 0, 0, 0}));
}

TEST(ValueFilesRead, ReadsExactlyNAndLeavesTheRest) {
  std::string text = "1 2 3 4";
  std::array<float, 2> slots{};
  std::FILE* in = fmemopen(text.data(), text.size(), "r");
  ASSERT_TRUE(objeval::value_files::read_values<2>(in, slots));
  float next = 0;
  EXPECT_EQ(std::fscanf(in, "%f", &next), 1);
  EXPECT_EQ(next, 3.0f);
  std::fclose(in);
}

}  // namespace
