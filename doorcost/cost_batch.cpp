// SPDX-License-Identifier: MIT
#include "doorcost/cost_versions.hpp"

#include <stdexcept>

namespace objeval::doorcost {

void cost_batch(std::span<float const> points, std::span<float> costs, unsigned threads) {
  if (points.size() != costs.size() * dimension)
    throw std::invalid_argument("objeval::doorcost::cost_batch: points.size() must be 240 * costs.size()");
  versions::evaluate(points.data(), costs.size(), costs.data(), threads);
}

}  // namespace objeval::doorcost
