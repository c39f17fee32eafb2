// SPDX-License-Identifier: MIT
#include <objeval/doorcost.hpp>

#include "doorcost/cost_doubles.hpp"
#include "doorcost/cost_terms.hpp"
#include "simd/batch_versions.hpp"

#include <stdexcept>

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

void cost_batch(std::span<float const> points, std::span<float> costs, unsigned threads) {
  if (points.size() != costs.size() * dimension)
    throw std::invalid_argument("objeval::doorcost::cost_batch: points.size() must be 240 * costs.size()");
  versions::evaluate(points.data(), costs.size(), costs.data(), threads);
}

void cost_batch_columns(double const* columns, std::size_t stride, std::span<float> costs, unsigned threads) {
  versions::evaluate_columns(columns, stride, costs.size(), costs.data(), threads);
}

void cost_batch_double_rows(double const* points, std::size_t stride, std::span<float> costs, unsigned threads) {
  versions::evaluate_double_rows(points, stride, costs.size(), costs.data(), threads);
}

}  // namespace objeval::doorcost
