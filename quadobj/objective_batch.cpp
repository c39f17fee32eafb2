#include "simd/lanes.hpp"
#include "quadobj/objective.hpp"
#include "quadobj/objective_terms.hpp"

#include <stdexcept>

namespace quadobj {
namespace {

// Two 64-byte registers per block keep two independent sums in flight.
using block = objeval::lanes<double, 2>;

constexpr auto sum_block = [](std::array<block, value_count> const& x) OBJEVAL_INLINE_LAMBDA {
  return detail::sum_terms<block>([&x](std::size_t i) OBJEVAL_INLINE_LAMBDA -> block const& { return x[i]; });
};

}  // namespace

void objective_batch(std::span<float const> points, std::span<float> values) {
  if (points.size() != values.size() * value_count)
    throw std::invalid_argument("quadobj::objective_batch: points.size() must be 50 * values.size()");
  objeval::batch_versions<value_count, block, decltype(sum_block)>::evaluate(points.data(), values.size(),
                                                                              values.data());
}

}  // namespace quadobj
