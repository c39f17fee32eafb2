// SPDX-License-Identifier: MIT
// The problems, in one table: the C interface, objeval-eval and, through the
// C interface, every language binding take their names, dimensions and
// descriptions from here.
#pragma once

#include "doorcost/cost_doubles.hpp"
#include "quadobj/objective_doubles.hpp"

#include <objeval/doorcost.hpp>
#include <objeval/objeval.h>
#include <objeval/quadobj.hpp>

#include <span>

namespace objeval {

struct problem_entry {
  objeval_problem info;
  float (*one)(float const* point) noexcept;
  void (*batch)(std::span<float const> points, std::span<float> values, unsigned threads);
  // The rows of a column-major matrix of doubles: row r of column n at columns[n * stride + r].
  void (*columns)(double const* columns, std::size_t stride, std::span<float> values, unsigned threads);
  // Rows of doubles: value n of point p at points[p * stride + n].
  void (*double_rows)(double const* points, std::size_t stride, std::span<float> values, unsigned threads);
};

inline constexpr problem_entry problems[] = {
    {{"doorcost", doorcost::dimension,
      "Cost of a door assignment at a freight terminal: slot i*8+k places inbound truck i (0..14) at inbound "
      "door k (0..7), slot 120+j*8+l outbound truck j at outbound door l; the cost is the sum of "
      "flow(i, j) * (8 + |k - l|) * x[i][k] * y[j][l], summed in float."},
     [](float const* point) noexcept {
       return doorcost::cost(std::span<float const, doorcost::dimension>(point, doorcost::dimension));
     },
     doorcost::cost_batch, doorcost::cost_batch_columns, doorcost::cost_batch_double_rows},
    {{"quadobj", quadobj::dimension,
      "A fixed quadratic function of 50 variables, slot i is x[i]: the sum over i != j of Q[i][j]*x[i]*x[j] "
      "plus the sum of c[i]*x[i], computed in double and rounded to float."},
     [](float const* point) noexcept {
       return quadobj::objective(std::span<float const, quadobj::dimension>(point, quadobj::dimension));
     },
     quadobj::objective_batch, quadobj::objective_batch_columns, quadobj::objective_batch_double_rows},
};

static_assert(problems[OBJEVAL_DOORCOST].info.dimension == OBJEVAL_DOORCOST_DIMENSION);
static_assert(problems[OBJEVAL_QUADOBJ].info.dimension == OBJEVAL_QUADOBJ_DIMENSION);

}  // namespace objeval
