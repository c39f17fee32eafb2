// Where a batch's worker threads run. Linux starts a new thread on the CPU of
// the thread that made it, and some kernels, those of small virtual machines
// among them, leave it waiting there while that CPU is busy: a worker would
// start only when the caller had finished its own shares. So each worker is
// bound to a CPU of its own, other than the caller's, among those the caller
// may use. Only the workers are bound; the caller's thread is left as it is.
#pragma once

#include <cstddef>
#include <thread>

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#endif

namespace objeval {

#if defined(__linux__)
// The CPU for worker `index`: the CPUs of `allowed` other than `here`, in
// turn, starting again when there are more workers than CPUs; -1 if there is
// none.
inline int worker_cpu(cpu_set_t const& allowed, int here, std::size_t index) noexcept {
  auto const other = [&](int cpu) { return cpu != here && CPU_ISSET(cpu, &allowed); };
  std::size_t count = 0;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) count += other(cpu);
  if (count == 0) return -1;
  std::size_t skip = index % count;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
    if (other(cpu) && skip-- == 0) return cpu;
  return -1;
}

class thread_placement {
 public:
  thread_placement() noexcept : known_(sched_getaffinity(0, sizeof allowed_, &allowed_) == 0), here_(sched_getcpu()) {}

  // The CPU for worker `index`, or -1: then it runs wherever the kernel puts it.
  int cpu(std::size_t index) const noexcept { return known_ ? worker_cpu(allowed_, here_, index) : -1; }

  // A hint: if it cannot be followed, the thread runs wherever the kernel puts it.
  static void bind(std::thread& thread, int cpu) noexcept {
    if (cpu < 0) return;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    pthread_setaffinity_np(thread.native_handle(), sizeof one, &one);
  }

 private:
  cpu_set_t allowed_;
  bool known_;
  int here_;
};
#else
class thread_placement {
 public:
  int cpu(std::size_t) const noexcept { return -1; }
  static void bind(std::thread&, int) noexcept {}
};
#endif

}  // namespace objeval
