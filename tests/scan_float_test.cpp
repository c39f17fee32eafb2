// SPDX-License-Identifier: MIT
// The reader of the frame without the C library against glibc's
// fscanf("%f"), on the same bytes: every slot's bits and where reading
// stopped must agree, including on text that is not a number.
#include "scan_reference.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using testing_support::scan_with_c_library;
using testing_support::scan_with_frame;

::testing::AssertionResult reads_like_fscanf(std::string const& text, std::size_t count = 4) {
  std::string const found =
      testing_support::difference(scan_with_frame(text, count), scan_with_c_library(text, count));
  if (found.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "text \"" << text << "\": " << found;
}

// m * 2^e (e < 0) written out exactly in decimal.
std::string exact_decimal(std::uint64_t m, int e) {
  std::vector<int> digits;  // m * 5^-e, least significant first
  for (std::uint64_t v = m; v != 0; v /= 10) digits.push_back(static_cast<int>(v % 10));
  for (int n = 0; n < -e; ++n) {
    int carry = 0;
    for (int& d : digits) {
      d = d * 5 + carry;
      carry = d / 10;
      d %= 10;
    }
    while (carry != 0) digits.push_back(carry % 10), carry /= 10;
  }
  while (digits.size() <= static_cast<std::size_t>(-e)) digits.push_back(0);
  std::string text;
  for (std::size_t n = digits.size(); n-- > 0;) {
    text += static_cast<char>('0' + digits[n]);
    if (n == static_cast<std::size_t>(-e)) text += '.';
  }
  return text;
}

// What a failed conversion takes with it decides where every later read starts.
TEST(ScanFloat, TakesWhatFscanfTakesWhenTheTextIsNoNumber) {
  for (std::string const text : {"1e x", "1e+ x", "1e-", "1E+-5", "1e5e5", "0x x", "0xg", "-0x", "0x", "0xp3",
                                 "0x.p1", "0x1p", "0x1p+", "-x", "- 5", "+", ".", ".e5", "-.", "0.e5", "1.5.5", "00x1",
                                 "1-2", "1,2", "\x1c" "5", "\xa0" "5"})
    EXPECT_TRUE(reads_like_fscanf(text));
  EXPECT_TRUE(reads_like_fscanf(std::string("1\0 2", 4)));
}

TEST(ScanFloat, WordsForInfinityAndNaN) {
  for (char const* text : {"inf", "-INF 2", "infinity5", "INFINITYx", "infinit 5", "infinix 5", "infx 5", "inx 5",
                           "in", "n", "nana", "nan(12) 5", "nan(", "-nan 5", "+NaN", "NAN(ab_1)x", "-iNfInItY"})
    EXPECT_TRUE(reads_like_fscanf(text));
}

TEST(ScanFloat, HexadecimalFloatsRoundOnce) {
  for (char const* text : {"0x1p0", "0X1P-2", "0x1.8e3", "0x.8p1", "0x1.fffffep127", "0x1.ffffffp127",
                           "0x1.fffffefffffffffffffffp127", "0x1p-149", "0x1p-150", "0x1.000001p-150",
                           "0x1.8p-149", "0x1.0000010p0", "0x1.00000100000000000000001p0", "0x1.000003p0",
                           "0x0.000000000000000000000000000000001p0", "0x1p99999999999999999999", "-0x1p-9999999",
                           "0x123456789abcdef0123456789p-50"})
    EXPECT_TRUE(reads_like_fscanf(text));
}

// The one place the frame departs from glibc, whose hexadecimal conversion
// drops the bit that decides these roundings.
TEST(ScanFloat, SubnormalHexadecimalsRoundCorrectlyWhereGlibcDoesNot) {
  auto const read = scan_with_frame("0x1.000001p-150 0xe.ae9728p-131", 2);
  EXPECT_EQ(read.slot_bits[0], 0x00000001u);  // above half the smallest subnormal
  EXPECT_EQ(read.slot_bits[1], 0x003aba5du);
  EXPECT_EQ(scan_with_c_library("0x1.000001p-150", 1).slot_bits[0], 0u) << "glibc's rounding was mended";
}

TEST(ScanFloat, WhiteSpaceIsTheCLocales) {
  EXPECT_TRUE(reads_like_fscanf(" \t\n\v\f\r1\r\n2\t\t3    4"));
}

// Halfway between two floats, a digit hundreds of places on decides the
// rounding: a reader that drops digits instead of remembering them fails.
TEST(ScanFloat, LongDecimalsRoundCorrectlyAtHalfway) {
  std::string const zeros(600, '0');
  std::vector<std::string> halfway = {
      exact_decimal((1u << 24) + 1, -24),  // 1 + 2^-24, between 1 and its successor
      exact_decimal(3, -150),              // between the two smallest subnormals
      exact_decimal(1, -150),              // half the smallest subnormal
      exact_decimal((1u << 25) - 1, -150), // between the largest subnormal and the smallest normal
  };
  for (std::string const& h : halfway) {
    EXPECT_TRUE(reads_like_fscanf(h));
    EXPECT_TRUE(reads_like_fscanf(h + zeros + "1"));
    EXPECT_TRUE(reads_like_fscanf("-" + h + zeros + "1e0"));
    EXPECT_TRUE(reads_like_fscanf(h.substr(0, h.size() - 1) + "4" + std::string(700, '9')));
  }
  EXPECT_TRUE(reads_like_fscanf("340282356779733661637539395458142568448"));  // rounds to infinity
  EXPECT_TRUE(reads_like_fscanf("340282356779733661637539395458142568447.999"));
  EXPECT_TRUE(reads_like_fscanf("0." + zeros + "1e600 " + zeros + "16777217" + "e-600"));
  EXPECT_TRUE(reads_like_fscanf("1e99999999999999999999999 1e-99999999999999999999 0e999999999999"));
}

// Random mixtures of the pieces numbers are made of, and of what breaks them.
TEST(ScanFloat, RandomTextReadsLikeFscanf) {
  std::vector<std::string> const pieces = {"0", "1", "7", "9", "00", "123456789", "0x", "0X", "e", "E", "p", "P",
                                           "a", "f", "F", "x", "+", "-", ".", " ", "\n", "\t", ",", "(", ")",
                                           "inf", "INFINITY", "nan", "in", "i", "n", "y", "t", std::string(1, '\0'),
                                           "\xff", "e-45", "e38", "p-149", "p128", "p-130", "000001", "8"};
  std::mt19937 random(20261208);
  for (int n = 0; n < 40000; ++n) {
    std::string text;
    for (int k = static_cast<int>(random() % 12); k >= 0; --k) text += pieces[random() % pieces.size()];
    ASSERT_TRUE(reads_like_fscanf(text, 6));
  }
}

}  // namespace
