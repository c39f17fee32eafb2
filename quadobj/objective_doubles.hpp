// SPDX-License-Identifier: MIT
// The batch from doubles, each rounded once to float, bit for bit as
// objective_batch gives it:
// - the rows of a column-major matrix, a point per row (MATLAB, Octave, R,
//   NumPy's Fortran order): row r of column n at columns[n * stride + r],
//   stride >= values.size();
// - rows, a point after a point (NumPy's C order, a slice of a wider
//   array's columns): value n of point p at points[p * stride + n],
//   stride >= 50.
#pragma once

#include <cstddef>
#include <span>

namespace objeval::quadobj {

void objective_batch_columns(double const* columns, std::size_t stride, std::span<float> values, unsigned threads);
void objective_batch_double_rows(double const* points, std::size_t stride, std::span<float> values,
                                 unsigned threads);

}  // namespace objeval::quadobj
