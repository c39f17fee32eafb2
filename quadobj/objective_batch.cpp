// SPDX-License-Identifier: MIT
#include "quadobj/objective_doubles.hpp"
#include "quadobj/objective_terms.hpp"
#include "simd/batch_versions.hpp"

#include <objeval/quadobj.hpp>

#include <stdexcept>

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

void objective_batch(std::span<float const> points, std::span<float> values, unsigned threads) {
  if (points.size() != values.size() * dimension)
    throw std::invalid_argument("objeval::quadobj::objective_batch: points.size() must be 50 * values.size()");
  versions::evaluate(points.data(), values.size(), values.data(), threads);
}

void objective_batch_columns(double const* columns, std::size_t stride, std::span<float> values, unsigned threads) {
  versions::evaluate_columns(columns, stride, values.size(), values.data(), threads);
}

void objective_batch_double_rows(double const* points, std::size_t stride, std::span<float> values, unsigned threads) {
  versions::evaluate_double_rows(points, stride, values.size(), values.data(), threads);
}

}  // namespace objeval::quadobj
