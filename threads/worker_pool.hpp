// SPDX-License-Identifier: MIT
// Threads kept between calls (batches, objeval-eval's chunks), one per CPU
// at most, each bound to its CPU and asleep until a call hands it work.
// Starting a thread, binding it and joining it cost 150 to 250 µs a call on a
// small virtual machine; a kept thread only has to be woken. Threads are
// started on first need, with every signal blocked, and live until the
// process ends or release_idle() ends them.
#pragma once

#include <cstddef>

#if defined(__linux__)
#include "threads/placement.hpp"
#include "threads/start_thread.hpp"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

#include <sched.h>
#include <unistd.h>
#endif

namespace objeval {

#if defined(__linux__)
class worker_pool {
 public:
  using job = void (*)(void const* context);

  class worker {
   public:
    explicit worker(int cpu) : thread_(start_thread([this] { serve(); })) { thread_placement::bind(thread_, cpu); }
    worker(worker const&) = delete;
    worker& operator=(worker const&) = delete;
    ~worker() {
      {
        std::lock_guard const lock(mutex_);
        stop_ = true;
        changed_.notify_all();
      }
      thread_.join();
    }

    void start(job run, void const* context) noexcept {
      std::lock_guard const lock(mutex_);
      run_ = run;
      context_ = context;
      done_ = false;
      changed_.notify_all();
    }
    void wait() noexcept {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return done_; });
    }

   private:
    void serve() noexcept {
      std::unique_lock lock(mutex_);
      for (;;) {
        changed_.wait(lock, [this] { return run_ != nullptr || stop_; });
        if (run_ == nullptr) return;
        lock.unlock();
        run_(context_);
        lock.lock();
        run_ = nullptr;
        done_ = true;
        changed_.notify_all();
      }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    job run_ = nullptr;
    void const* context_ = nullptr;
    bool done_ = true;
    bool stop_ = false;
    std::thread thread_;  // last: it starts serving once the state above exists
  };

  // This process's pool; null in a child forked from a process that had one,
  // where its threads do not exist.
  static worker_pool* instance() noexcept {
    static worker_pool* const pool = new (std::nothrow) worker_pool;  // never destroyed: its threads never end
    return pool != nullptr && pool->owner_ == getpid() ? pool : nullptr;
  }

  // The worker bound to `cpu`, started if need be, for the caller alone
  // until it is released; null if it serves another call or cannot start.
  worker* claim(int cpu) noexcept {
    if (cpu < 0 || cpu >= CPU_SETSIZE) return nullptr;
    std::lock_guard const lock(mutex_);
    if (claimed_[cpu]) return nullptr;
    if (!workers_[cpu]) try {
        workers_[cpu] = std::make_unique<worker>(cpu);
      } catch (...) {
        return nullptr;
      }
    claimed_[cpu] = true;
    return workers_[cpu].get();
  }
  void release(int cpu) noexcept {
    std::lock_guard const lock(mutex_);
    claimed_[cpu] = false;
  }

  // Ends the threads no call has claimed; a later claim starts them anew.
  void release_idle() noexcept {
    std::unique_ptr<worker> idle[CPU_SETSIZE];
    {
      std::lock_guard const lock(mutex_);
      for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (!claimed_[cpu]) idle[cpu] = std::move(workers_[cpu]);
    }
  }  // each joined here, outside the lock

 private:
  std::mutex mutex_;
  std::unique_ptr<worker> workers_[CPU_SETSIZE];
  bool claimed_[CPU_SETSIZE] = {};
  pid_t const owner_ = getpid();
};
#else
class worker_pool {
 public:
  using job = void (*)(void const* context);
  struct worker {
    void start(job, void const*) noexcept {}
    void wait() noexcept {}
  };
  static worker_pool* instance() noexcept { return nullptr; }
  worker* claim(int) noexcept { return nullptr; }
  void release(int) noexcept {}
  void release_idle() noexcept {}
};
#endif

}  // namespace objeval
