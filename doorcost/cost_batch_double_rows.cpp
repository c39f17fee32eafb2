// SPDX-License-Identifier: MIT
#include "doorcost/cost_doubles.hpp"
#include "doorcost/cost_versions.hpp"

namespace objeval::doorcost {

void cost_batch_double_rows(double const* points, std::size_t stride, std::span<float> costs, unsigned threads) {
  versions::evaluate_double_rows(points, stride, costs.size(), costs.data(), threads);
}

}  // namespace objeval::doorcost
