// The defining order of the objective's sum, written once for any lane type:
// a double, or a vector of doubles that carries one point per lane.
#pragma once

#include "frame/exact_arithmetic.hpp"
#include "simd/multiversion.hpp"
#include "quadobj/linear_coefficients.hpp"
#include "quadobj/pair_coefficients.hpp"

#include <cmath>
#include <cstddef>

namespace quadobj::detail {

inline constexpr std::size_t variables = 50;

// Pair terms for i, then j != i, each t = x[i] * Q[i][j] rounded and fused
// with x[j] into the sum, which starts as the first term itself; then the
// linear terms fused in ascending order. `x(i)` gives x[i] widened to double.
template <class Lane, class Widened>
OBJEVAL_INLINE Lane sum_terms(Widened const& x) {
  using std::fma;
  Lane sum = (x(0) * pair_coefficients[0][0]) * x(1);
  for (std::size_t i = 0; i < variables; ++i) {
    Lane const xi = x(i);
    for (std::size_t n = (i == 0) ? 1 : 0; n < variables - 1; ++n) {
      std::size_t const j = n < i ? n : n + 1;
      sum = fma(xi * pair_coefficients[i][n], x(j), sum);
    }
  }
  for (std::size_t i = 0; i < variables; ++i) sum = fma(x(i), Lane(linear_coefficients[i]), sum);
  return sum;
}

}  // namespace quadobj::detail
