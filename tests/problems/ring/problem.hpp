// SPDX-License-Identifier: MIT
// The tests' own problem, built only where OBJEVAL_TEST_PROBLEM is on: small,
// of a dimension that fills no whole tile of any version's lanes, and
// enough like the real ones (fused, in a fixed order, from -0) that every
// table-driven test and binding shows a problem to be a folder and an entry
// in problems/list.cmake.
#pragma once

#include "frame/exact_arithmetic.hpp"
#include "simd/multiversion.hpp"
#include "simd/prefetch.hpp"

#include <cmath>
#include <cstddef>

namespace objeval::ring {

struct problem {
  static constexpr char name[] = "ring";
  static constexpr std::size_t dimension = 19;
  static constexpr char description[] =
      "The tests' own problem: 19 numbers in a ring, the sum over i of (i + 1) * x[i] * x[(i + 1) mod 19], "
      "summed in float.";
  static constexpr unsigned study_id = 1000;
  using lane_type = float;
  static constexpr std::size_t registers = 2;

  template <class Lane, class Step = objeval::ignore_steps>
  OBJEVAL_INLINE static Lane sum(Lane const* x, Step const& step = {}) {
    using std::fma;
    Lane s(-0.0f);
    for (std::size_t i = 0; i < dimension; ++i) {
      step(i, dimension);
      s = fma(x[i] * static_cast<float>(i + 1), x[(i + 1) % dimension], s);
    }
    return s;
  }
};

}  // namespace objeval::ring
