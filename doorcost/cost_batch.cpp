#include "doorcost/cost.hpp"
#include "doorcost/cost_terms.hpp"
#include "simd/lanes.hpp"

#include <stdexcept>
#include <type_traits>

namespace doorcost {
namespace {

// Two 64-byte registers per block, or as many bytes in narrower ones, keep
// independent sums in flight.
constexpr std::size_t registers = 2;

constexpr auto sum_block = [](auto const& slots) OBJEVAL_INLINE_LAMBDA {
  using block = typename std::remove_cvref_t<decltype(slots)>::value_type;
  return detail::sum_terms<block>([&slots](std::size_t n) OBJEVAL_INLINE_LAMBDA -> block const& { return slots[n]; });
};

}  // namespace

void cost_batch(std::span<float const> points, std::span<float> costs, unsigned threads) {
  if (points.size() != costs.size() * value_count)
    throw std::invalid_argument("doorcost::cost_batch: points.size() must be 240 * costs.size()");
  using versions = objeval::batch_versions<value_count, float, registers, decltype(sum_block)>;
  versions::evaluate(points.data(), costs.size(), costs.data(), threads);
}

}  // namespace doorcost
