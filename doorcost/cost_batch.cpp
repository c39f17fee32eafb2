#include "doorcost/cost.hpp"
#include "doorcost/cost_terms.hpp"
#include "frame/lanes.hpp"
#include "frame/multiversion.hpp"

#include <stdexcept>

namespace doorcost {
namespace {

// Two 64-byte registers per block keep two independent sums in flight.
using block = objeval::lanes<float, 2>;

OBJEVAL_INLINE void evaluate(float const* points, std::size_t count, float* costs) {
  objeval::evaluate_blocks<value_count, block>(
      points, count, costs, [](std::array<block, value_count> const& slots) OBJEVAL_INLINE_LAMBDA {
        return detail::sum_terms<block>([&slots](std::size_t n) OBJEVAL_INLINE_LAMBDA -> block const& {
          return slots[n];
        });
      });
}

OBJEVAL_TARGET_V4 void evaluate_v4(float const* p, std::size_t n, float* c) { evaluate(p, n, c); }
OBJEVAL_TARGET_V3 void evaluate_v3(float const* p, std::size_t n, float* c) { evaluate(p, n, c); }
void evaluate_baseline(float const* p, std::size_t n, float* c) { evaluate(p, n, c); }

constinit objeval::versioned<void(float const*, std::size_t, float*)> const batch_versions{
    evaluate_v4, evaluate_v3, evaluate_baseline};

}  // namespace

void cost_batch(std::span<float const> points, std::span<float> costs) {
  if (points.size() != costs.size() * value_count)
    throw std::invalid_argument("doorcost::cost_batch: points.size() must be 240 * costs.size()");
  batch_versions(points.data(), costs.size(), costs.data());
}

}  // namespace doorcost
