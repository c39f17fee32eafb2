// SPDX-License-Identifier: MIT
// Runs one piece of work on several threads at once: the calling thread, and
// the pool's kept threads on the caller's other CPUs, or new threads where
// none is free. Each thread calls the same `work()`, which takes its tasks
// from state they share until none is left.
#pragma once

#include "threads/placement.hpp"
#include "threads/start_thread.hpp"
#include "threads/worker_pool.hpp"

#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace objeval {

// Calls work() on up to `threads` threads, the caller's among them, and
// returns when every call has returned. Fewer threads may run it, down to
// the caller's alone, where no more can be had: `work` must finish the job
// on any number of threads. If a call throws, the others still run to their
// end, and the first exception then reaches the caller.
template <class Work>
void run_together(std::size_t threads, Work const& work, thread_placement const& placement) {
  if (threads <= 1) {
    work();
    return;
  }
  std::exception_ptr error;
  std::once_flag first_error;
  auto const guarded = [&]() noexcept {
    try {
      work();
    } catch (...) {
      std::call_once(first_error, [&] { error = std::current_exception(); });
    }
  };
  using guarded_type = decltype(guarded);

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
  worker_pool* const pool = worker_pool::instance();
  for (std::size_t w = 0; w + 1 < threads; ++w) {
    int const cpu = placement.cpu(w);
    if (worker_pool::worker* const worker = pool != nullptr ? pool->claim(cpu) : nullptr) {
      worker->start([](void const* context) { (*static_cast<guarded_type const*>(context))(); }, &guarded);
      kept.push_back({worker, cpu});
      continue;
    }
    try {
      thread_placement::bind(started.emplace_back(start_thread(guarded)), cpu);
    } catch (...) {
      break;  // fewer threads than asked for: those there are share the work
    }
  }
  guarded();
  for (std::thread& thread : started) thread.join();
  for (kept_worker const& k : kept) {
    k.worker->wait();
    pool->release(k.cpu);
  }
  if (error) std::rethrow_exception(error);
}

// The same, placed from where the caller is now; one thread asks nothing of
// the system.
template <class Work>
void run_together(std::size_t threads, Work const& work) {
  if (threads <= 1) {
    work();
    return;
  }
  run_together(threads, work, thread_placement());
}

}  // namespace objeval
