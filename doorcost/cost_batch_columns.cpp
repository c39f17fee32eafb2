// SPDX-License-Identifier: MIT
#include "doorcost/cost_doubles.hpp"
#include "doorcost/cost_versions.hpp"

namespace objeval::doorcost {

void cost_batch_columns(double const* columns, std::size_t stride, std::span<float> costs, unsigned threads) {
  versions::evaluate_columns(columns, stride, costs.size(), costs.data(), threads);
}

}  // namespace objeval::doorcost
