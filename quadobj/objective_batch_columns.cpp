// SPDX-License-Identifier: MIT
#include "quadobj/objective_doubles.hpp"
#include "quadobj/objective_versions.hpp"

namespace objeval::quadobj {

void objective_batch_columns(double const* columns, std::size_t stride, std::span<float> values, unsigned threads) {
  versions::evaluate_columns(columns, stride, values.size(), values.data(), threads);
}

}  // namespace objeval::quadobj
