// SPDX-License-Identifier: MIT
// Cost of one door assignment: slots 0..119 place the inbound trucks (row i,
// door k at i*8+k), slots 120..239 the outbound trucks (row j, door l).
#pragma once

#include <objeval/evaluate.hpp>

#include <cstddef>
#include <span>
#include <stdexcept>

namespace objeval::doorcost {

struct problem;  // the library's descriptor of the problem

inline constexpr std::size_t dimension = 240;  // numbers in a point
[[deprecated("use dimension")]] inline constexpr std::size_t value_count = dimension;

inline float cost(std::span<float const, dimension> assignment) noexcept {
  return evaluate_point<problem>(assignment.data());
}

// costs[p] = cost of points[p*240 .. p*240+239], bit for bit as `cost` gives
// it, on `threads` threads: 0 for one per CPU this process may use (its
// affinity mask and cgroup CPU quota), and a larger count is lowered to that
// number; the results do not depend on it. Throws std::invalid_argument
// unless points.size() == 240 * costs.size().
inline void cost_batch(std::span<float const> points, std::span<float> costs, unsigned threads = 1) {
  if (points.size() != costs.size() * dimension)
    throw std::invalid_argument("objeval::doorcost::cost_batch: points.size() must be 240 * costs.size()");
  evaluate_batch<problem>(points.data(), costs.size(), costs.data(), threads);
}

}  // namespace objeval::doorcost
