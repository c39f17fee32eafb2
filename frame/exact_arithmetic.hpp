// SPDX-License-Identifier: MIT
// Included by every translation unit that computes a value: the results are
// defined bit for bit, so a build that would change them must not compile.
#pragma once

#include <cfloat>
#include <limits>

#if defined(__FAST_MATH__)
#error "-ffast-math reorders and fuses arithmetic; the values would change"
#endif

#if !defined(FLT_EVAL_METHOD) || FLT_EVAL_METHOD != 0
#error "float and double expressions must be evaluated in their own precision"
#endif

static_assert(std::numeric_limits<float>::is_iec559 && sizeof(float) == 4,
              "float must be IEEE 754 binary32");
static_assert(std::numeric_limits<double>::is_iec559 && sizeof(double) == 8,
              "double must be IEEE 754 binary64");
static_assert(std::numeric_limits<float>::round_style == std::round_to_nearest,
              "rounding must be to nearest");

namespace objeval {

// Which NaN an operation hands on when several meet differs between CPUs with
// and without fused multiply-add hardware, and so would a NaN result's sign,
// printed "nan" or "-nan". Every NaN result becomes the one quiet NaN.
inline float canonical(float value) noexcept {
  return value != value ? std::numeric_limits<float>::quiet_NaN() : value;
}

}  // namespace objeval
