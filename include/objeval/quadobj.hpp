// SPDX-License-Identifier: MIT
// The quadratic objective of 50 variables: x[i] is slot i.
#pragma once

#include <objeval/evaluate.hpp>

#include <cstddef>
#include <span>
#include <stdexcept>

namespace objeval::quadobj {

struct problem;  // the library's descriptor of the problem

inline constexpr std::size_t dimension = 50;  // numbers in a point
[[deprecated("use dimension")]] inline constexpr std::size_t value_count = dimension;

inline float objective(std::span<float const, dimension> point) noexcept {
  return evaluate_point<problem>(point.data());
}

// values[p] = objective of points[p*50 .. p*50+49], bit for bit as `objective`
// gives it, on `threads` threads: 0 for one per CPU this process may use (its
// affinity mask and cgroup CPU quota), and a larger count is lowered to that
// number; the results do not depend on it. Throws std::invalid_argument
// unless points.size() == 50 * values.size().
inline void objective_batch(std::span<float const> points, std::span<float> values, unsigned threads = 1) {
  if (points.size() != values.size() * dimension)
    throw std::invalid_argument("objeval::quadobj::objective_batch: points.size() must be 50 * values.size()");
  evaluate_batch<problem>(points.data(), values.size(), values.data(), threads);
}

}  // namespace objeval::quadobj
