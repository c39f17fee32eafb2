// SPDX-License-Identifier: MIT
// The batch for a column-major matrix of doubles, a point per row (MATLAB,
// Octave, R): costs[r] is the cost of row r, each value rounded once to
// float, bit for bit as cost_batch gives it. Row r of column n is at
// columns[n * stride + r]; stride >= costs.size().
#pragma once

#include <cstddef>
#include <span>

namespace objeval::doorcost {

void cost_batch_columns(double const* columns, std::size_t stride, std::span<float> costs, unsigned threads);

}  // namespace objeval::doorcost
