#include "simd/lanes.hpp"
#include "quadobj/objective.hpp"
#include "quadobj/objective_terms.hpp"

#include <stdexcept>
#include <type_traits>

namespace quadobj {
namespace {

// Two 64-byte registers per block, or as many bytes in narrower ones, keep
// independent sums in flight.
constexpr std::size_t registers = 2;

constexpr auto sum_block = [](auto const& x) OBJEVAL_INLINE_LAMBDA {
  using block = typename std::remove_cvref_t<decltype(x)>::value_type;
  return detail::sum_terms<block>([&x](std::size_t n) OBJEVAL_INLINE_LAMBDA -> block const& { return x[n]; });
};

}  // namespace

void objective_batch(std::span<float const> points, std::span<float> values, unsigned threads) {
  if (points.size() != values.size() * value_count)
    throw std::invalid_argument("quadobj::objective_batch: points.size() must be 50 * values.size()");
  using versions = objeval::batch_versions<value_count, double, registers, decltype(sum_block)>;
  versions::evaluate(points.data(), values.size(), values.data(), threads);
}

}  // namespace quadobj
