// SPDX-License-Identifier: MIT
// Helpers are started with every signal blocked: a signal meant for the host
// (SIGINT in Python, the JVM's own) must reach one of the host's threads,
// never a helper that runs evaluation code and cannot handle it. Each runs
// in the default floating-point state, whatever its maker's.
#pragma once

#include "frame/float_state.hpp"

#include <thread>
#include <utility>

#if defined(__unix__)
#include <pthread.h>
#include <signal.h>
#endif

namespace objeval {

template <class Function>
std::thread start_thread(Function&& function) {
#if defined(__unix__)
  sigset_t all, before;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &before);  // a new thread starts with its maker's mask
  struct restore {
    sigset_t const& mask;
    ~restore() { pthread_sigmask(SIG_SETMASK, &mask, nullptr); }
  } const restore_after{before};
#endif
  return std::thread([run = std::forward<Function>(function)]() mutable {
    default_float_state::establish();
    run();
  });
}

}  // namespace objeval
