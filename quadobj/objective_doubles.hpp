// SPDX-License-Identifier: MIT
// The batch for a column-major matrix of doubles, a point per row (MATLAB,
// Octave, R): values[r] is the objective at row r, each value rounded once
// to float, bit for bit as objective_batch gives it. Row r of column n is at
// columns[n * stride + r]; stride >= values.size().
#pragma once

#include <cstddef>
#include <span>

namespace objeval::quadobj {

void objective_batch_columns(double const* columns, std::size_t stride, std::span<float> values, unsigned threads);

}  // namespace objeval::quadobj
