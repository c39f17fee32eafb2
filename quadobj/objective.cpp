// SPDX-License-Identifier: MIT
#include <objeval/quadobj.hpp>

#include "simd/multiversion.hpp"
#include "quadobj/objective_terms.hpp"

#include <array>

namespace objeval::quadobj {
namespace {

constexpr auto evaluate = [](float const* point) OBJEVAL_INLINE_LAMBDA {
  std::array<double, dimension> x;
  for (std::size_t i = 0; i < dimension; ++i) x[i] = point[i];
  return objeval::canonical(
      static_cast<float>(detail::sum_terms(x.data())));
};

}  // namespace

float objective(std::span<float const, dimension> point) noexcept {
  return objeval::point_versions<decltype(evaluate)>::evaluate(point.data());
}

}  // namespace objeval::quadobj
