// SPDX-License-Identifier: MIT
#include "quadobj/objective_versions.hpp"

#include <stdexcept>

namespace objeval::quadobj {

void objective_batch(std::span<float const> points, std::span<float> values, unsigned threads) {
  if (points.size() != values.size() * dimension)
    throw std::invalid_argument("objeval::quadobj::objective_batch: points.size() must be 50 * values.size()");
  versions::evaluate(points.data(), values.size(), values.data(), threads);
}

}  // namespace objeval::quadobj
