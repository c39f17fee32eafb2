#include "doorcost/cost.hpp"

#include "doorcost/cost_terms.hpp"
#include "frame/multiversion.hpp"

namespace doorcost {
namespace {

OBJEVAL_INLINE float sum_of(float const* assignment) {
  return objeval::canonical(
      detail::sum_terms<float>([assignment](std::size_t n) OBJEVAL_INLINE_LAMBDA { return assignment[n]; }));
}

OBJEVAL_TARGET_V3 float cost_v3(float const* assignment) { return sum_of(assignment); }
float cost_baseline(float const* assignment) { return sum_of(assignment); }

constinit objeval::versioned<float(float const*)> const cost_versions{cost_v3, cost_v3, cost_baseline};

}  // namespace

float cost(std::span<float const, value_count> assignment) noexcept { return cost_versions(assignment.data()); }

}  // namespace doorcost
