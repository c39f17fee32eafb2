// SPDX-License-Identifier: MIT
#include "float_bits.hpp"

#include <objeval/doorcost.hpp>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

namespace {

using testing_support::same_bits;
using assignment = std::array<float, objeval::doorcost::dimension>;

float& x(assignment& a, std::size_t i, std::size_t k) { return a[i * 8 + k]; }
float& y(assignment& a, std::size_t j, std::size_t l) { return a[120 + j * 8 + l]; }

float cost(assignment const& a) { return objeval::doorcost::cost(a); }

assignment filled(float value) {
  assignment a;
  a.fill(value);
  return a;
}

assignment mixed(std::uint32_t seed) {
  testing_support::mixed_values next(seed);
  assignment a;
  for (float& v : a) v = next();
  return a;
}

TEST(DoorcostCost, AllZeroCostsPositiveZero) { EXPECT_TRUE(same_bits(cost(filled(0.0f)), 0.0f)); }

// Catches a running sum started at +0: -0 + -0 is -0, but +0 + -0 is +0.
TEST(DoorcostCost, NegativeZeroInboundWithPositiveZeroOutboundCostsNegativeZero) {
  assignment a = filled(0.0f);
  for (std::size_t n = 0; n < 120; ++n) a[n] = -0.0f;
  EXPECT_TRUE(same_bits(cost(a), -0.0f));
}

// Every term is then -0 times -0, which is +0: the README says so.
TEST(DoorcostCost, AllNegativeZeroCostsPositiveZero) { EXPECT_TRUE(same_bits(cost(filled(-0.0f)), 0.0f)); }

// Pins the distance rule: 8 for equal door numbers, 15 for doors 0 and 7.
TEST(DoorcostCost, SingleTermIsFlowTimesDoorDistance) {
  assignment a = filled(0.0f);
  x(a, 0, 0) = 1;
  y(a, 3, 0) = 1;
  EXPECT_TRUE(same_bits(cost(a), 368.0f));
  y(a, 3, 0) = 0;
  y(a, 3, 7) = 1;
  EXPECT_TRUE(same_bits(cost(a), 690.0f));
}

// Pins the whole FlowTable through its total and the sum of all distances.
TEST(DoorcostCost, WholeAssignmentsMatchTheTableTotals) {
  assignment at_door_0 = filled(0.0f);
  assignment at_own_door = filled(0.0f);
  for (std::size_t t = 0; t < 15; ++t) {
    x(at_door_0, t, 0) = y(at_door_0, t, 0) = 1;
    x(at_own_door, t, t % 8) = y(at_own_door, t, t % 8) = 1;
  }
  EXPECT_TRUE(same_bits(cost(at_door_0), 13504.0f));
  EXPECT_TRUE(same_bits(cost(at_own_door), 17445.0f));
  EXPECT_TRUE(same_bits(cost(filled(1.0f)), 1147840.0f));
  EXPECT_TRUE(same_bits(cost(filled(0.5f)), 286960.0f));
}

// Pairs with zero flow form no term, so their inputs never reach the sum.
TEST(DoorcostCost, InputsOfZeroFlowPairsNeverMatter) {
  assignment a = filled(0.0f);
  for (std::size_t l = 0; l < 8; ++l) y(a, 8, l) = y(a, 11, l) = 1;
  for (std::size_t n = 0; n < 120; ++n) a[n] = static_cast<float>(n % 7) - 2.5f;
  float const reference = cost(a);
  for (std::size_t i : {3U, 4U, 5U, 6U, 7U, 11U, 13U})
    for (std::size_t k = 0; k < 8; ++k) x(a, i, k) = 1e30f;
  EXPECT_TRUE(same_bits(cost(a), reference));
}

// The hardware's default NaN is negative and would print "-nan"; which NaN
// survives also differs with and without FMA hardware. One NaN for all.
TEST(DoorcostCost, InfinityTimesZeroMakesTheCostTheQuietNaN) {
  assignment a = filled(0.0f);
  x(a, 0, 0) = std::numeric_limits<float>::infinity();
  y(a, 3, 0) = 1;
  EXPECT_TRUE(same_bits(cost(a), 0x7fc00000U));
  y(a, 5, 5) = -std::numeric_limits<float>::quiet_NaN();
  EXPECT_TRUE(same_bits(cost(a), 0x7fc00000U));
}

// Points whose partial sums round at nearly every step. Each pinned value is
// missed by an unfused sum, by visiting j before k, and by p = y * w.
TEST(DoorcostCost, RoundingFollowsTheDefinedOrderAndFusion) {
  EXPECT_TRUE(same_bits(cost(mixed(1)), 0x490bbb5dU));
  EXPECT_TRUE(same_bits(cost(mixed(2)), 0x4891b838U));
  EXPECT_TRUE(same_bits(cost(mixed(4)), 0xc8a28d8cU));
}

}  // namespace
