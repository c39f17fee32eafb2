// The defining order of the cost sum, written once for any lane type: a float,
// or a vector of floats that carries one assignment per lane.
#pragma once

#include "doorcost/flow_table.hpp"
#include "frame/exact_arithmetic.hpp"

#include <cmath>
#include <cstddef>

namespace doorcost::detail {

inline constexpr std::size_t outbound_offset = trucks * doors;

struct flow_partner {
  std::size_t outbound;
  float flow;
};

struct flow_row {
  std::array<flow_partner, trucks> partners{};
  std::size_t count = 0;
};

// Per inbound truck, the outbound trucks it sends freight to, ascending.
inline constexpr auto flow_rows = [] {
  std::array<flow_row, trucks> rows{};
  for (std::size_t i = 0; i < trucks; ++i)
    for (std::size_t j = 0; j < trucks; ++j)
      if (flow_table[i][j] != 0) rows[i].partners[rows[i].count++] = {j, float(flow_table[i][j])};
  return rows;
}();

constexpr float weight(float flow, std::size_t k, std::size_t l) noexcept {
  return flow * float(door_distance(k, l));  // both whole and small: exact
}

// Terms in the order i, k, j (non-zero flow only), l. Each is p = x[i][k] * w,
// rounded, fused with y[j][l] into the running sum; the sum starts as the
// first term itself, so an all -0 assignment costs -0.
template <class Lane, class Slot>
Lane sum_terms(Slot const& slot) noexcept {
  using std::fma;
  constexpr flow_partner first = flow_rows[0].partners[0];
  Lane sum = (slot(0) * weight(first.flow, 0, 0)) * slot(outbound_offset + first.outbound * doors);

  for (std::size_t i = 0; i < trucks; ++i) {
    flow_row const& row = flow_rows[i];
    for (std::size_t k = 0; k < doors; ++k) {
      Lane const x = slot(i * doors + k);
      for (std::size_t n = 0; n < row.count; ++n) {
        flow_partner const partner = row.partners[n];
        std::size_t const y_row = outbound_offset + partner.outbound * doors;
        std::size_t const l_begin = (i == 0 && k == 0 && n == 0) ? 1 : 0;
        for (std::size_t l = l_begin; l < doors; ++l) {
          Lane const p = x * weight(partner.flow, k, l);
          sum = fma(p, slot(y_row + l), sum);
        }
      }
    }
  }
  return sum;
}

}  // namespace doorcost::detail
