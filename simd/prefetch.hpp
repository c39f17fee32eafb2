// Work a sum does between its steps. A batch asks for the next block's points
// there, a share at each step: asked for all at once, they would stall the
// CPU until most had arrived; spread out, they arrive while it computes.
// They are asked for as data used once (non-temporal): on Zen 5 a batch
// streaming from memory ran about a fifth faster so than with the hint that
// keeps lines in every cache level, and no slower in cache.
#pragma once

#include "simd/multiversion.hpp"

#include <cstddef>

namespace objeval {

struct ignore_steps {
  OBJEVAL_INLINE void operator()(std::size_t, std::size_t) const {}
};

struct prefetch_ahead {
  char const* next = nullptr;  // the points to bring nearer, or nothing
  std::size_t bytes = 0;

  OBJEVAL_INLINE void operator()(std::size_t step, std::size_t steps) const {
    constexpr std::size_t line = 64;
    if (next == nullptr) return;
    for (std::size_t byte = step * bytes / steps / line * line; byte < (step + 1) * bytes / steps; byte += line)
      __builtin_prefetch(next + byte, 0, 0);
  }
};

}  // namespace objeval
