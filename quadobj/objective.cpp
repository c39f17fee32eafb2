#include "quadobj/objective.hpp"

#include "quadobj/objective_terms.hpp"

#include <array>

namespace quadobj {

float objective(std::span<float const, value_count> point) noexcept {
  std::array<double, value_count> x;
  for (std::size_t i = 0; i < value_count; ++i) x[i] = point[i];
  return static_cast<float>(detail::sum_terms<double>([&x](std::size_t i) { return x[i]; }));
}

}  // namespace quadobj
