// Cost of one door assignment: slots 0..119 place the inbound trucks (row i,
// door k at i*8+k), slots 120..239 the outbound trucks (row j, door l).
#pragma once

#include <cstddef>
#include <span>

namespace doorcost {

inline constexpr std::size_t value_count = 240;

float cost(std::span<float const, value_count> assignment) noexcept;

}  // namespace doorcost
