// SPDX-License-Identifier: MIT
// The door assignment problem: its name, its point, and the defining order
// of its cost sum, written once for any lane type: a float, or lanes of
// floats that carry one assignment each.
#pragma once

#include "doorcost/flow_table.hpp"
#include "frame/exact_arithmetic.hpp"
#include "simd/multiversion.hpp"
#include "simd/prefetch.hpp"

#include <array>
#include <cmath>
#include <cstddef>
#include <utility>

namespace objeval::doorcost::detail {

inline constexpr std::size_t outbound_offset = trucks * doors;

struct flow_row {
  std::array<std::size_t, trucks> outbound{};  // ascending, non-zero flow only
  std::size_t count = 0;
};

inline constexpr auto flow_rows = [] {
  std::array<flow_row, trucks> rows{};
  for (std::size_t i = 0; i < trucks; ++i)
    for (std::size_t j = 0; j < trucks; ++j)
      if (flow_table[i][j] != 0) rows[i].outbound[rows[i].count++] = j;
  return rows;
}();

inline constexpr std::size_t term_count = [] {
  std::size_t pairs = 0;
  for (flow_row const& row : flow_rows) pairs += row.count;
  return pairs * doors * doors;
}();

// w = F[i][j] * D[k][l] for every term, in summation order: whole numbers
// below 736, exact in float.
inline constexpr auto term_weights = [] {
  std::array<float, term_count> weights{};
  std::size_t t = 0;
  for (std::size_t i = 0; i < trucks; ++i)
    for (std::size_t k = 0; k < doors; ++k)
      for (std::size_t n = 0; n < flow_rows[i].count; ++n)
        for (std::size_t l = 0; l < doors; ++l)
          weights[t++] = static_cast<float>(flow_table[i][flow_rows[i].outbound[n]] * door_distance(k, l));
  return weights;
}();

// Doors at the same distance on either side of door k have the same weight,
// and so the same product x[i][k] * w: each is computed once.
inline constexpr std::size_t distance(std::size_t k, std::size_t l) { return k > l ? k - l : l - k; }
static_assert([] {
  for (std::size_t k = 0; k < doors; ++k)
    for (std::size_t d = 0; d <= k && k + d < doors; ++d)
      if (door_distance(k, k - d) != door_distance(k, k + d)) return false;
  return true;
}());

// The terms of door k, for one outbound truck: l = 0 .. 7. `p` holds the
// products by distance; a door past its mirror computes its own.
template <std::size_t K, class Lane, std::size_t... L>
OBJEVAL_INLINE void sum_door_row(Lane const& x, Lane const* y, float const* w, Lane& sum, std::index_sequence<L...>) {
  using std::fma;
  Lane p[doors];
  ((sum = fma(L <= K || L - K > K ? (p[distance(K, L)] = x * w[L]) : p[distance(K, L)], y[L], sum)), ...);
}

template <std::size_t K, class Lane, class Step>
OBJEVAL_INLINE void sum_door(Lane const* slots, std::size_t i, float const*& w, Lane& sum, Step const& step) {
  step(i * doors + K, trucks * doors);
  Lane const x = slots[i * doors + K];
  flow_row const& row = flow_rows[i];
  for (std::size_t n = 0; n < row.count; ++n, w += doors)
    sum_door_row<K>(x, slots + outbound_offset + row.outbound[n] * doors, w, sum, std::make_index_sequence<doors>{});
}

template <class Lane, class Step, std::size_t... K>
OBJEVAL_INLINE void sum_truck(Lane const* slots, std::size_t i, float const*& w, Lane& sum, Step const& step,
                              std::index_sequence<K...>) {
  (sum_door<K>(slots, i, w, sum, step), ...);
}

// Terms in the order i, k, j (non-zero flow only), l. Each is p = x[i][k] * w,
// rounded, fused with y[j][l] into the running sum. The sum starts at -0, so
// the first fused term is its rounded product alone: -0 inbound with +0
// outbound costs -0, and an all -0 assignment +0 (-0 times -0 is +0). `slots` holds the 240 values, as floats or as lanes;
// `step(s, steps)` is called between steps of the sum, for work that may
// overlap it.
template <class Lane, class Step = objeval::ignore_steps>
OBJEVAL_INLINE Lane sum_terms(Lane const* slots, Step const& step = {}) {
  float const* w = term_weights.data();
  Lane sum(-0.0f);
  for (std::size_t i = 0; i < trucks; ++i) sum_truck(slots, i, w, sum, step, std::make_index_sequence<doors>{});
  return sum;
}

}  // namespace objeval::doorcost::detail

namespace objeval::doorcost {

struct problem {
  static constexpr char name[] = "doorcost";
  static constexpr std::size_t dimension = 2 * trucks * doors;
  static constexpr char description[] =
      "Cost of a door assignment at a freight terminal: slot i*8+k places inbound truck i (0..14) at inbound "
      "door k (0..7), slot 120+j*8+l outbound truck j at outbound door l; the cost is the sum of "
      "flow(i, j) * (8 + |k - l|) * x[i][k] * y[j][l], summed in float.";
  static constexpr unsigned study_id = 1;  // in a study's files: never changed, never reused
  using lane_type = float;
  // Four registers of sums a block hide the latency of a fused multiply-add
  // behind the others' work; more leave too few registers for the products
  // that doors at the same distance share.
  static constexpr std::size_t registers = 4;

  template <class Lane, class Step = objeval::ignore_steps>
  OBJEVAL_INLINE static Lane sum(Lane const* slots, Step const& step = {}) {
    return detail::sum_terms(slots, step);
  }
};

}  // namespace objeval::doorcost
