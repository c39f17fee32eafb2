// SPDX-License-Identifier: MIT
// The batch from doubles, each rounded once to float, bit for bit as
// cost_batch gives it:
// - the rows of a column-major matrix, a point per row (MATLAB, Octave, R,
//   NumPy's Fortran order): row r of column n at columns[n * stride + r],
//   stride >= costs.size();
// - rows, a point after a point (NumPy's C order, a slice of a wider
//   array's columns): value n of point p at points[p * stride + n],
//   stride >= 240.
#pragma once

#include <cstddef>
#include <span>

namespace objeval::doorcost {

void cost_batch_columns(double const* columns, std::size_t stride, std::span<float> costs, unsigned threads);
void cost_batch_double_rows(double const* points, std::size_t stride, std::span<float> costs, unsigned threads);

}  // namespace objeval::doorcost
