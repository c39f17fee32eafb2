// SPDX-License-Identifier: MIT
// The quadratic objective: its name, its point, and the defining order of
// its sum, written once for any lane type: a double, or a vector of doubles
// that carries one point per lane.
#pragma once

#include "frame/exact_arithmetic.hpp"
#include "quadobj/linear_coefficients.hpp"
#include "quadobj/pair_coefficients.hpp"
#include "simd/multiversion.hpp"
#include "simd/prefetch.hpp"

#include <cmath>
#include <cstddef>

namespace objeval::quadobj::detail {

inline constexpr std::size_t variables = 50;

// Pair terms for i, then j != i, each t = x[i] * Q[i][j] rounded and fused
// with x[j] into the sum; then the linear terms fused in ascending order. The
// sum starts at -0, so the first fused term is its rounded product alone.
// `x` holds the 50 values widened to double, as doubles or as lanes;
// `step(s, steps)` is called between steps of the sum, for work that may
// overlap it.
template <class Lane, class Step = objeval::ignore_steps>
OBJEVAL_INLINE Lane sum_terms(Lane const* x, Step const& step = {}) {
  using std::fma;
  Lane sum(-0.0);
  for (std::size_t i = 0; i < variables; ++i) {
    step(i, variables);
    Lane const xi = x[i];
    double const* const q = pair_coefficients[i].data();  // the row without its diagonal
    for (std::size_t j = 0; j < i; ++j) sum = fma(xi * q[j], x[j], sum);
    for (std::size_t j = i + 1; j < variables; ++j) sum = fma(xi * q[j - 1], x[j], sum);
  }
  for (std::size_t i = 0; i < variables; ++i) sum = fma(x[i], linear_coefficients[i], sum);
  return sum;
}

}  // namespace objeval::quadobj::detail

namespace objeval::quadobj {

struct problem {
  static constexpr char name[] = "quadobj";
  static constexpr std::size_t dimension = detail::variables;
  static constexpr char description[] =
      "A fixed quadratic function of 50 variables, slot i is x[i]: the sum over i != j of Q[i][j]*x[i]*x[j] "
      "plus the sum of c[i]*x[i], computed in double and rounded to float.";
  static constexpr unsigned study_id = 2;  // in a study's files: never changed, never reused
  using lane_type = double;
  // Six registers of sums a block: more chains in flight than the latency of
  // a fused multiply-add asks for, and the block's 50 slots still fit the
  // first-level cache.
  static constexpr std::size_t registers = 6;

  template <class Lane, class Step = objeval::ignore_steps>
  OBJEVAL_INLINE static Lane sum(Lane const* x, Step const& step = {}) {
    return detail::sum_terms(x, step);
  }
};

}  // namespace objeval::quadobj
