// The defining order of the cost sum, written once for any lane type: a float,
// or lanes of floats that carry one assignment each.
#pragma once

#include "doorcost/flow_table.hpp"
#include "frame/exact_arithmetic.hpp"
#include "simd/multiversion.hpp"

#include <array>
#include <cmath>
#include <cstddef>

namespace doorcost::detail {

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

// Terms in the order i, k, j (non-zero flow only), l. Each is p = x[i][k] * w,
// rounded, fused with y[j][l] into the running sum. The sum starts at -0, so
// the first fused term is its rounded product alone, and an all -0
// assignment costs -0. `slots` holds the 240 values, as floats or as lanes.
template <class Lane>
OBJEVAL_INLINE Lane sum_terms(Lane const* slots) {
  using std::fma;
  float const* w = term_weights.data();
  Lane sum(-0.0f);
  for (std::size_t i = 0; i < trucks; ++i) {
    flow_row const& row = flow_rows[i];
    for (std::size_t k = 0; k < doors; ++k) {
      Lane const x = slots[i * doors + k];
      for (std::size_t n = 0; n < row.count; ++n) {
        Lane const* const y = slots + outbound_offset + row.outbound[n] * doors;
        for (std::size_t l = 0; l < doors; ++l) sum = fma(x * w[l], y[l], sum);
        w += doors;
      }
    }
  }
  return sum;
}

}  // namespace doorcost::detail
