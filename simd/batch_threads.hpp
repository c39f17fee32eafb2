// Splits a batch of independent points between threads. Each point's value
// is computed in its own vector lane, whatever else shares its block, so
// the results do not depend on how the batch is split.
#pragma once

#include "simd/thread_placement.hpp"
#include "simd/worker_pool.hpp"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace objeval {

// 0 threads means one per core.
inline unsigned thread_count(unsigned requested) noexcept {
  if (requested != 0) return requested;
  unsigned const cores = std::thread::hardware_concurrency();
  return cores != 0 ? cores : 1;
}

// Calls evaluate(first, size) for consecutive shares of [0, count) that
// together cover it once, on up to `threads` threads: the calling thread,
// and the pool's kept threads on the caller's other CPUs, or new threads
// where none is free. Threads take the next share as they finish the last,
// so a thread that starts late or is slowed down by the machine takes fewer.
// A share is a whole number of `grain` points, at least four, so small
// batches stay on fewer threads, and shrinks with what is left (half of it
// divided among the threads), so the threads run out of work at nearly the
// same time. `evaluate` must not throw: other threads may still be at work.
template <class Evaluate>
void for_each_share(std::size_t count, unsigned threads, std::size_t grain, Evaluate const& evaluate) {
  constexpr std::size_t least_grains = 4;
  std::size_t const grains = (count + grain - 1) / grain;
  std::size_t const used = std::min<std::size_t>(thread_count(threads), grains / least_grains);
  if (used <= 1) {
    evaluate(std::size_t{0}, count);
    return;
  }
  std::atomic<std::size_t> next{0};
  auto const work = [&] {
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
  };
  struct kept_worker {
    worker_pool::worker* worker;
    int cpu;
  };
  std::vector<kept_worker> kept;
  std::vector<std::thread> started;
  try {
    kept.reserve(used - 1);
    started.reserve(used - 1);
  } catch (...) {
    evaluate(std::size_t{0}, count);  // no memory to keep track of threads: the caller alone
    return;
  }
  thread_placement const placement;
  worker_pool* const pool = worker_pool::instance();
  for (std::size_t w = 0; w + 1 < used; ++w) {
    int const cpu = placement.cpu(w);
    if (worker_pool::worker* const worker = pool != nullptr ? pool->claim(cpu) : nullptr) {
      worker->start([](void const* context) { (*static_cast<decltype(work) const*>(context))(); }, &work);
      kept.push_back({worker, cpu});
      continue;
    }
    try {
      thread_placement::bind(started.emplace_back(work), cpu);
    } catch (...) {
      break;  // fewer threads than asked for: those there are share the work
    }
  }
  work();
  for (std::thread& thread : started) thread.join();
  for (kept_worker const& k : kept) {
    k.worker->wait();
    pool->release(k.cpu);
  }
}

}  // namespace objeval
