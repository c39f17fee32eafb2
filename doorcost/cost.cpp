#include "doorcost/cost.hpp"

#include "doorcost/cost_terms.hpp"

namespace doorcost {

float cost(std::span<float const, value_count> assignment) noexcept {
  return detail::sum_terms<float>([assignment](std::size_t n) { return assignment[n]; });
}

}  // namespace doorcost
