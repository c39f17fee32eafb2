// SPDX-License-Identifier: MIT
// The batch's versions, one per instruction set, for the translation units
// that each make one of its readers: the float rows, the columns of doubles,
// the rows of doubles. Apart, they compile side by side; together, one unit
// took four minutes under the sanitizers.
#pragma once

#include "doorcost/cost_terms.hpp"
#include "simd/batch_versions.hpp"

#include <objeval/doorcost.hpp>

namespace objeval::doorcost {
namespace {

// Four registers of sums a block hide the latency of a fused multiply-add
// behind the others' work; more leave too few registers for the products
// that doors at the same distance share.
constexpr std::size_t registers = 4;

constexpr auto sum_block = [](auto const* slots, auto const& step) OBJEVAL_INLINE_LAMBDA {
  return detail::sum_terms(slots, step);
};

using versions = objeval::batch_versions<dimension, float, registers, decltype(sum_block)>;

}  // namespace

}  // namespace objeval::doorcost
