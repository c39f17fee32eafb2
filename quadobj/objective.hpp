// The quadratic objective of 50 variables: x[i] is slot i.
#pragma once

#include <cstddef>
#include <span>

namespace quadobj {

inline constexpr std::size_t value_count = 50;

float objective(std::span<float const, value_count> point) noexcept;

}  // namespace quadobj
