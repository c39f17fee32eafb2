// SPDX-License-Identifier: MIT
#include <objeval/doorcost.hpp>

#include "doorcost/cost_terms.hpp"
#include "simd/multiversion.hpp"

namespace objeval::doorcost {
namespace {

constexpr auto evaluate = [](float const* assignment) OBJEVAL_INLINE_LAMBDA {
  return objeval::canonical(
      detail::sum_terms(assignment));
};

}  // namespace

float cost(std::span<float const, dimension> assignment) noexcept {
  return objeval::point_versions<decltype(evaluate)>::evaluate(assignment.data());
}

}  // namespace objeval::doorcost
