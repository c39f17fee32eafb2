#include "frame/lanes.hpp"
#include "frame/multiversion.hpp"
#include "quadobj/objective.hpp"
#include "quadobj/objective_terms.hpp"

#include <stdexcept>

namespace quadobj {
namespace {

// Two 64-byte registers per block keep two independent sums in flight.
using block = objeval::lanes<double, 2>;

OBJEVAL_INLINE void evaluate(float const* points, std::size_t count, float* values) {
  objeval::evaluate_blocks<value_count, block>(
      points, count, values, [](std::array<block, value_count> const& x) OBJEVAL_INLINE_LAMBDA {
        return detail::sum_terms<block>([&x](std::size_t i) OBJEVAL_INLINE_LAMBDA -> block const& { return x[i]; });
      });
}

OBJEVAL_TARGET_V4 void evaluate_v4(float const* p, std::size_t n, float* v) { evaluate(p, n, v); }
OBJEVAL_TARGET_V3 void evaluate_v3(float const* p, std::size_t n, float* v) { evaluate(p, n, v); }
void evaluate_baseline(float const* p, std::size_t n, float* v) { evaluate(p, n, v); }

constinit objeval::versioned<void(float const*, std::size_t, float*)> const batch_versions{
    evaluate_v4, evaluate_v3, evaluate_baseline};

}  // namespace

void objective_batch(std::span<float const> points, std::span<float> values) {
  if (points.size() != values.size() * value_count)
    throw std::invalid_argument("quadobj::objective_batch: points.size() must be 50 * values.size()");
  batch_versions(points.data(), values.size(), values.data());
}

}  // namespace quadobj
