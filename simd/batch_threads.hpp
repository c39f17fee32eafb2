// Splits a batch of independent points between threads. Each point's value
// is computed in its own vector lane, whatever else shares its block, so
// the results do not depend on how the batch is split.
#pragma once

#include <algorithm>
#include <cstddef>
#include <system_error>
#include <thread>
#include <vector>

namespace objeval {

// 0 threads means one per core.
inline unsigned thread_count(unsigned requested) noexcept {
  if (requested != 0) return requested;
  unsigned const cores = std::thread::hardware_concurrency();
  return cores != 0 ? cores : 1;
}

// Calls evaluate(first, count) for consecutive shares of [0, count), on up to
// `threads` threads, the calling thread among them. A share is a whole number
// of `grain` points, so small batches stay on fewer threads.
template <class Evaluate>
void for_each_share(std::size_t count, unsigned threads, std::size_t grain, Evaluate const& evaluate) {
  std::size_t const grains = (count + grain - 1) / grain;
  std::size_t const used = std::min<std::size_t>(thread_count(threads), grains);
  if (used <= 1) {
    evaluate(std::size_t{0}, count);
    return;
  }
  std::size_t const share = (grains + used - 1) / used * grain;
  std::vector<std::thread> workers;
  workers.reserve(used - 1);
  for (std::size_t first = share; first < count; first += share) {
    std::size_t const size = std::min(share, count - first);
    try {
      workers.emplace_back([&evaluate, first, size] { evaluate(first, size); });
    } catch (std::system_error const&) {
      evaluate(first, size);  // no thread to be had: the caller's thread does it
    }
  }
  evaluate(std::size_t{0}, std::min(share, count));
  for (std::thread& worker : workers) worker.join();
}

}  // namespace objeval
