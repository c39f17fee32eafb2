// SPDX-License-Identifier: MIT
// A problem's value at one point, in two versions: a single point is one
// serial chain of multiply-adds, and all it asks of the CPU is the FMA
// instruction. The point's floats are widened to the problem's lane type
// where that is wider.
#pragma once

#include "frame/exact_arithmetic.hpp"
#include "frame/float_state.hpp"
#include "simd/multiversion.hpp"

#include <array>
#include <cstddef>
#include <type_traits>

namespace objeval {

template <class Problem>
OBJEVAL_INLINE float point_value(float const* point) {
  using T = typename Problem::lane_type;
  if constexpr (std::is_same_v<T, float>) {
    return canonical(Problem::sum(point));
  } else {
    std::array<T, Problem::dimension> x;
    for (std::size_t i = 0; i < Problem::dimension; ++i) x[i] = point[i];
    return canonical(static_cast<float>(Problem::sum(x.data())));
  }
}

template <class Problem>
class point_versions {
 public:
  static float evaluate(float const* point) { return versions_(point); }

 private:
  OBJEVAL_TARGET_FMA static float with_fma(float const* point) { return point_value<Problem>(point); }
  static float baseline(float const* point) { return point_value<Problem>(point); }
  static inline constinit versioned<float(float const*), point_version_count> versions_{{with_fma, baseline},
                                                                                        point_version_index};
};

template <class Problem>
float evaluate_point(float const* point) noexcept {
  default_float_state const state;
  return point_versions<Problem>::evaluate(point);
}

}  // namespace objeval
