// Runs one piece of work on several threads at once: the calling thread, and
// the pool's kept threads on the caller's other CPUs, or new threads where
// none is free. Each thread calls the same `work()`, which takes its tasks
// from state they share until none is left.
#pragma once

#include "threads/placement.hpp"
#include "threads/worker_pool.hpp"

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

// Calls work() on up to `threads` threads, the caller's among them, and
// returns when every call has returned. Fewer threads may run it, down to
// the caller's alone, where no more can be had: `work` must finish the job
// on any number of threads. It must not throw: other threads may still be
// at work.
template <class Work>
void run_together(std::size_t threads, Work const& work) {
  if (threads <= 1) {
    work();
    return;
  }
  struct kept_worker {
    worker_pool::worker* worker;
    int cpu;
  };
  std::vector<kept_worker> kept;
  std::vector<std::thread> started;
  try {
    kept.reserve(threads - 1);
    started.reserve(threads - 1);
  } catch (...) {
    work();  // no memory to keep track of threads: the caller alone
    return;
  }
  thread_placement const placement;
  worker_pool* const pool = worker_pool::instance();
  for (std::size_t w = 0; w + 1 < threads; ++w) {
    int const cpu = placement.cpu(w);
    if (worker_pool::worker* const worker = pool != nullptr ? pool->claim(cpu) : nullptr) {
      worker->start([](void const* context) { (*static_cast<Work const*>(context))(); }, &work);
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
