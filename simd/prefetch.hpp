// SPDX-License-Identifier: MIT
// Work a sum does between its steps. A batch asks for the next block's points
// there, a share at each step: asked for all at once, they would stall the
// CPU until most had arrived; spread out, they arrive while it computes.
//
// How they are asked for is chosen per CPU, once, by what was measured with
// evaluators_benchmark on 65,536 doorcost points streaming from memory,
// against the FMA throughput bound (doorcost, quadobj):
// - AMD Zen 5 (family 26): as data used once (prefetchnta), about a fifth
//   faster than into every cache level, and no slower in cache.
// - Intel (family 6, model 167, AVX-512): into the second-level cache
//   (prefetcht2): 2.24 and 1.36, where data used once gave 5.37 and 1.54.
//   There data used once fills only the first-level cache, too small for a
//   block: the lines were gone when the block was turned, and read again.
//   Every cache level gave 2.45 and 1.33, no prefetch 3.51 and 1.51.
// - Others, AMD Zen 3 among them: into every cache level (prefetcht0), as
//   measured there before the other choices were made (1.52 and 1.29).
#pragma once

#include "simd/multiversion.hpp"

#include <cstddef>
#include <cstdint>

namespace objeval {

enum class prefetch_hint : unsigned char { used_once, second_level, every_level };

inline prefetch_hint prefetch_hint_for(cpu_model const& cpu) noexcept {
  if (cpu.vendor == cpu_vendor::amd && cpu.family >= 26) return prefetch_hint::used_once;
  if (cpu.vendor == cpu_vendor::intel) return prefetch_hint::second_level;
  return prefetch_hint::every_level;
}

// This CPU's choice, asked of it at the first batch.
inline prefetch_hint batch_prefetch_hint() noexcept {
  static prefetch_hint const hint = prefetch_hint_for(this_cpu_model());
  return hint;
}

struct ignore_steps {
  OBJEVAL_INLINE void operator()(std::size_t, std::size_t) const {}
};

struct prefetch_ahead {
  char const* next = nullptr;  // the points to bring nearer, or nothing
  std::size_t bytes = 0;
  prefetch_hint hint = prefetch_hint::every_level;

  OBJEVAL_INLINE void operator()(std::size_t step, std::size_t steps) const {
    if (next == nullptr) return;
    // From the start of next's line, so that a run that starts within a line
    // has its last line brought too (a column of R's doubles: one in nine).
    char const* const first_line = next - reinterpret_cast<std::uintptr_t>(next) % line;
    std::size_t const span = bytes + static_cast<std::size_t>(next - first_line);
    std::size_t const from = step * span / steps / line * line, to = (step + 1) * span / steps;
    switch (hint) {
      case prefetch_hint::used_once: return bring<0>(first_line, from, to);
      case prefetch_hint::second_level: return bring<1>(first_line, from, to);
      case prefetch_hint::every_level: return bring<3>(first_line, from, to);
    }
  }

 private:
  static constexpr std::size_t line = 64;
  template <int Locality>
  OBJEVAL_INLINE static void bring(char const* first_line, std::size_t from, std::size_t to) {
    for (std::size_t byte = from; byte < to; byte += line) __builtin_prefetch(first_line + byte, 0, Locality);
  }
};

}  // namespace objeval
