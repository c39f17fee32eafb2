// SPDX-License-Identifier: MIT
// The quadratic objective of 50 variables: x[i] is slot i.
#pragma once

#include <cstddef>
#include <span>

namespace objeval::quadobj {

inline constexpr std::size_t dimension = 50;  // numbers in a point
[[deprecated("use dimension")]] inline constexpr std::size_t value_count = dimension;

float objective(std::span<float const, dimension> point) noexcept;

// values[p] = objective of points[p*50 .. p*50+49], bit for bit as `objective`
// gives it, on `threads` threads: 0 for one per CPU this process may use (its
// affinity mask and cgroup CPU quota), and a larger count is lowered to that
// number; the results do not depend on it. Throws std::invalid_argument
// unless points.size() == 50 * values.size().
void objective_batch(std::span<float const> points, std::span<float> values, unsigned threads = 1);

}  // namespace objeval::quadobj
