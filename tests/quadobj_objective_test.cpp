// SPDX-License-Identifier: MIT
#include "float_bits.hpp"

#include <objeval/quadobj.hpp>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace {

using testing_support::same_bits;
using point = std::array<float, objeval::quadobj::dimension>;

float objective(point const& x) { return objeval::quadobj::objective(x); }

std::string printed(float value) {
  char text[64];
  std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
  return text;
}

point unit(std::initializer_list<std::pair<std::size_t, float>> entries) {
  point x{};
  for (auto [i, v] : entries) x[i] = v;
  return x;
}

// Every coordinate fixed but x[k], which is the float nearest to the root of
// f in x[k]: terms of order 1e10 cancel to a value near 1, so each double
// rounding of the sum shows in the printed digits.
point cancelling(std::uint32_t seed, std::size_t a, float large, std::size_t k, float root) {
  testing_support::mixed_values next(seed);
  point x;
  for (float& v : x) v = next();
  x[a] = large;
  x[k] = root;
  return x;
}

TEST(QuadobjObjective, ZeroPointIsZero) { EXPECT_TRUE(same_bits(objective(point{}), 0.0f)); }

// A lone variable has only its linear term, narrowed from double.
TEST(QuadobjObjective, LoneVariablesGiveTheirLinearCoefficients) {
  EXPECT_EQ(printed(objective(unit({{0, 1.0f}}))), "21.315977");
  EXPECT_EQ(printed(objective(unit({{49, 2.0f}}))), "76.098068");
  EXPECT_EQ(printed(objective(unit({{7, 1.0f}}))), "93.269035");
  EXPECT_TRUE(same_bits(objective(unit({{0, 1.0f}})), static_cast<float>(21.31597754)));
}

// Both Q[i][j] and Q[j][i] enter, and the table is not symmetric.
TEST(QuadobjObjective, PairsUseBothOrderedCoefficients) {
  EXPECT_EQ(printed(objective(unit({{0, 1.0f}, {1, 1.0f}}))), "251.034470");
  EXPECT_EQ(printed(objective(unit({{13, 1.0f}, {35, 1.0f}}))), "117.056053");
  EXPECT_EQ(printed(objective(unit({{0, 1.0f}, {1, 2.0f}}))), "480.752960");
  EXPECT_EQ(printed(objective(unit({{0, 2.0f}, {1, 1.0f}}))), "425.265869");
}

// Each pinned value is missed by an unfused pair sum, an unfused linear term,
// linear terms in descending order, and linear terms before the pairs.
TEST(QuadobjObjective, CancellingPointsPinTheDoubleRounding) {
  float const a = objective(cancelling(865, 15, 0x1.fa9fbep+27f, 8, 0x1.5acd48p-7f));
  EXPECT_EQ(printed(a), "6.671534");
  EXPECT_TRUE(same_bits(a, 0x1.aafa6ap+2f));
  float const b = objective(cancelling(1551, 1, 0x1.4147aep+27f, 10, -0x1.c8101ap+2f));
  EXPECT_EQ(printed(b), "-23.796156");
  EXPECT_TRUE(same_bits(b, -0x1.7cbd0ep+4f));
  float const c = objective(cancelling(2217, 17, 0x1.d5c29p+27f, 22, -0x1.b24af4p+3f));
  EXPECT_EQ(printed(c), "-53.452232");
  EXPECT_TRUE(same_bits(c, -0x1.ab9e2cp+5f));
}

// Products and the sum stay in double; only the final value is narrowed.
TEST(QuadobjObjective, OnlyTheFinalValueIsNarrowed) {
  // x[0] * Q[0][1] is beyond float range, yet every term and the value are not.
  float const value = objective(unit({{0, 1e37f}, {1, 1e-30f}}));
  EXPECT_TRUE(same_bits(value, static_cast<float>(static_cast<double>(1e37f) * 21.31597754)));
  point x;
  x.fill(1e20f);
  EXPECT_TRUE(same_bits(objective(x), std::numeric_limits<float>::infinity()));
}

TEST(QuadobjObjective, NonFiniteInputsPropagate) {
  float const inf = std::numeric_limits<float>::infinity();
  EXPECT_TRUE(same_bits(objective(unit({{3, inf}})), 0x7fc00000U));  // inf * Q * 0: one quiet NaN
  point x;
  x.fill(1.0f);
  x[3] = inf;
  EXPECT_TRUE(same_bits(objective(x), inf));
  x[4] = -inf;
  EXPECT_TRUE(std::isnan(objective(x)));
  x[4] = -std::numeric_limits<float>::quiet_NaN();
  EXPECT_TRUE(same_bits(objective(x), 0x7fc00000U));
}

}  // namespace
