// SPDX-License-Identifier: MIT
// The batch's versions, one per instruction set, for the translation units
// that each make one of its readers: the float rows, the columns of doubles,
// the rows of doubles. Apart, they compile side by side; together, one unit
// took four minutes under the sanitizers.
#pragma once

#include "quadobj/objective_terms.hpp"
#include "simd/batch_versions.hpp"

#include <objeval/quadobj.hpp>

namespace objeval::quadobj {
namespace {

// Six registers of sums a block: more chains in flight than the latency of a
// fused multiply-add asks for, and the block's 50 slots still fit the
// first-level cache.
constexpr std::size_t registers = 6;

constexpr auto sum_block = [](auto const* x, auto const& step) OBJEVAL_INLINE_LAMBDA {
  return detail::sum_terms(x, step);
};

using versions = objeval::batch_versions<dimension, double, registers, decltype(sum_block)>;

}  // namespace

}  // namespace objeval::quadobj
