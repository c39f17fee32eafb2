#include "quadobj/objective.hpp"

#include "frame/multiversion.hpp"
#include "quadobj/objective_terms.hpp"

#include <array>

namespace quadobj {
namespace {

OBJEVAL_INLINE float value_of(float const* point) {
  std::array<double, value_count> x;
  for (std::size_t i = 0; i < value_count; ++i) x[i] = point[i];
  return objeval::canonical(
      static_cast<float>(detail::sum_terms<double>([&x](std::size_t i) OBJEVAL_INLINE_LAMBDA { return x[i]; })));
}

OBJEVAL_TARGET_V3 float objective_v3(float const* point) { return value_of(point); }
float objective_baseline(float const* point) { return value_of(point); }

constinit objeval::versioned<float(float const*)> const objective_versions{objective_v3, objective_v3,
                                                                           objective_baseline};

}  // namespace

float objective(std::span<float const, value_count> point) noexcept { return objective_versions(point.data()); }

}  // namespace quadobj
