// SPDX-License-Identifier: MIT
// How many threads a call may use, and where its helpers run.
//
// The rule, for every interface: a thread count of 0 means one per CPU this
// process may use, its affinity mask lowered to its cgroup's CPU quota; a
// larger count is lowered to that number.
//
// Linux starts a new thread on the CPU of the thread that made it, and some
// kernels, those of small virtual machines among them, leave it waiting there
// while that CPU is busy: a helper would start only when the caller had
// finished its own shares (objeval-eval on 10,000 quadobj points took 1.5
// times as long on two threads unbound). So each helper is bound to a CPU of
// the caller's mask other than the caller's own: the ones after it, in turn.
// Counting from the caller's CPU, not from 0, callers on different CPUs, as
// the processes of a pool are, bind their first helpers to different CPUs.
#pragma once

#include "threads/cpu_quota.hpp"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <thread>

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#endif

namespace objeval {

#if defined(__linux__)
// The CPU for helper `index`: the CPUs of `allowed` after `here`, in turn,
// going round; those after every other when there are more helpers than
// CPUs; -1 if `allowed` holds no CPU but `here`.
inline int helper_cpu(cpu_set_t const& allowed, int here, std::size_t index) noexcept {
  auto const other = [&](int cpu) { return cpu != here && CPU_ISSET(cpu, &allowed); };
  std::size_t count = 0;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) count += other(cpu);
  if (count == 0) return -1;
  std::size_t skip = index % count;
  int const start = here >= 0 && here < CPU_SETSIZE ? here + 1 : 0;
  for (int step = 0; step < CPU_SETSIZE; ++step) {
    int const cpu = (start + step) % CPU_SETSIZE;
    if (other(cpu) && skip-- == 0) return cpu;
  }
  return -1;
}

class thread_placement {
 public:
  // The calling thread's mask and CPU, as they are now.
  thread_placement() noexcept : known_(sched_getaffinity(0, sizeof allowed_, &allowed_) == 0), here_(sched_getcpu()) {}

  // The CPUs this call may use: at least 1.
  unsigned usable() const noexcept {
    unsigned const in_mask = known_ ? static_cast<unsigned>(CPU_COUNT(&allowed_)) : hardware();
    unsigned const cpus = tighter(in_mask, cgroup_cpu_quota());
    return cpus != 0 ? cpus : 1;
  }

  // The CPU for helper `index`, or -1: then it runs wherever the kernel puts it.
  int cpu(std::size_t index) const noexcept { return known_ ? helper_cpu(allowed_, here_, index) : -1; }

  // A hint: if it cannot be followed, the thread runs wherever the kernel
  // puts it, as it does where the environment says OBJEVAL_PIN_THREADS=0
  // (read once, at the first helper).
  static void bind(std::thread& thread, int cpu) noexcept {
    static bool const pin = [] {
      char const* const setting = std::getenv("OBJEVAL_PIN_THREADS");
      return setting == nullptr || std::strcmp(setting, "0") != 0;
    }();
    if (cpu < 0 || !pin) return;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    pthread_setaffinity_np(thread.native_handle(), sizeof one, &one);
  }

 private:
  static unsigned hardware() noexcept { return std::thread::hardware_concurrency(); }

  cpu_set_t allowed_;
  bool known_;
  int here_;
};
#else
class thread_placement {
 public:
  unsigned usable() const noexcept {
    unsigned const cores = std::thread::hardware_concurrency();
    return cores != 0 ? cores : 1;
  }
  int cpu(std::size_t) const noexcept { return -1; }
  static void bind(std::thread&, int) noexcept {}
};
#endif

// The rule above: how many threads a call asking for `requested` gets.
inline unsigned thread_count(unsigned requested, thread_placement const& placement) noexcept {
  unsigned const usable = placement.usable();
  return requested == 0 || requested > usable ? usable : requested;
}
inline unsigned thread_count(unsigned requested) noexcept { return thread_count(requested, thread_placement()); }

}  // namespace objeval
