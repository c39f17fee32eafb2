// SPDX-License-Identifier: MIT
// A problem's program: the run frame around its one-point function, compiled
// into the program itself.
#pragma once

#include "frame/run.hpp"
#include "simd/point_versions.hpp"

#include <span>

namespace objeval {

template <class Problem>
int run_program() noexcept {
  return objeval::value_files::run<Problem::dimension>([](std::span<float const, Problem::dimension> point) noexcept {
    return evaluate_point<Problem>(point.data());
  });
}

}  // namespace objeval
