// SPDX-License-Identifier: MIT
// Splits a batch of independent points between threads. Each point's value
// is computed in its own vector lane, whatever else shares its block, so
// the results do not depend on how the batch is split.
#pragma once

#include "threads/run_together.hpp"

#include <algorithm>
#include <atomic>
#include <cstddef>

namespace objeval {

// Calls evaluate(first, size) for consecutive shares of [0, count) that
// together cover it once, on up to `threads` threads (see run_together).
// Threads take the next share as they finish the last, so a thread that
// starts late or is slowed down by the machine takes fewer. A share is a
// whole number of `grain` points, at least four, so small batches stay on
// fewer threads, and shrinks with what is left (half of it divided among the
// threads), so the threads run out of work at nearly the same time.
template <class Evaluate>
void for_each_share(std::size_t count, unsigned threads, std::size_t grain, Evaluate const& evaluate) {
  constexpr std::size_t least_grains = 4;
  std::size_t const grains = (count + grain - 1) / grain;
  if (threads == 1 || grains < 2 * least_grains) {  // one thread, without asking the system for CPUs
    evaluate(std::size_t{0}, count);
    return;
  }
  thread_placement const placement;
  std::size_t const used = std::min<std::size_t>(thread_count(threads, placement), grains / least_grains);
  if (used <= 1) {
    evaluate(std::size_t{0}, count);
    return;
  }
  std::atomic<std::size_t> next{0};
  run_together(used, [&] {
    std::size_t first = next.load(std::memory_order_relaxed), size = 0;
    for (;;) {
      do {
        if (first >= count) return;
        std::size_t const left_grains = (count - first) / grain;
        size = std::min(count - first, std::max(least_grains, left_grains / (2 * used)) * grain);
      } while (!next.compare_exchange_weak(first, first + size, std::memory_order_relaxed));
      evaluate(first, size);
      first = next.load(std::memory_order_relaxed);
    }
  }, placement);
}

}  // namespace objeval
