// SPDX-License-Identifier: MIT
#include "quadobj/objective_doubles.hpp"
#include "quadobj/objective_versions.hpp"

namespace objeval::quadobj {

void objective_batch_double_rows(double const* points, std::size_t stride, std::span<float> values, unsigned threads) {
  versions::evaluate_double_rows(points, stride, values.size(), values.data(), threads);
}

}  // namespace objeval::quadobj
