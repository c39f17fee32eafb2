// SPDX-License-Identifier: MIT
// The values are defined with every operation rounded to nearest and no
// subnormal flushed to zero, but a library call runs in its caller's
// floating-point state: a C++ host built with -ffast-math flushes subnormals
// for its whole process, and any host may set another rounding mode. Each
// entry that computes holds a default_float_state for the call: the
// default state while it lives, the caller's own back, exception flags
// included, when it ends. In the default state it costs two reads of the
// control register; a write only where the state differs.
#pragma once

#if !(defined(__x86_64__) || defined(__aarch64__))
#include <cfenv>
#endif

namespace objeval {

class default_float_state {
 public:
  default_float_state() noexcept : caller_(read()) {
    if (!is_default(caller_)) write(made_default(caller_));
  }
  default_float_state(default_float_state const&) = delete;
  default_float_state& operator=(default_float_state const&) = delete;
  ~default_float_state() {
    if (read() != caller_) write(caller_);
  }

  // For a thread of the library's own: the default state from now on.
  static void establish() noexcept {
    state const now = read();
    if (!is_default(now)) write(made_default(now));
  }

 private:
#if defined(__x86_64__)
  // MXCSR: six sticky exception flags, denormals-are-zero (bit 6), the six
  // exception masks, the rounding mode (bits 13-14), flush-to-zero (bit 15).
  using state = unsigned;
  static constexpr state exception_flags = 0x3f, default_control = 0x1f80;
  static bool is_default(state s) noexcept { return (s & ~exception_flags) == default_control; }
  static state made_default(state s) noexcept { return default_control | (s & exception_flags); }
  // The memory clobbers keep the evaluation's loads and stores between the
  // two writes.
  static state read() noexcept {
    state s;
    __asm__ volatile("stmxcsr %0" : "=m"(s) : : "memory");
    return s;
  }
  static void write(state s) noexcept { __asm__ volatile("ldmxcsr %0" : : "m"(s) : "memory"); }
#elif defined(__aarch64__)
  // FPCR holds the controls alone (the flags are in FPSR): all zero is
  // round to nearest, no flushing, no traps.
  using state = unsigned long;
  static bool is_default(state s) noexcept { return s == 0; }
  static state made_default(state) noexcept { return 0; }
  static state read() noexcept {
    state s;
    __asm__ volatile("mrs %0, fpcr" : "=r"(s) : : "memory");
    return s;
  }
  static void write(state s) noexcept { __asm__ volatile("msr fpcr, %0" : : "r"(s) : "memory"); }
#else
  // Elsewhere, what the C library can set: the rounding mode.
  struct state {
    std::fenv_t environment;
    int rounding;
    bool operator!=(state const&) const noexcept { return true; }  // the flags may differ
  };
  static bool is_default(state const& s) noexcept { return s.rounding == FE_TONEAREST; }
  static state made_default(state s) noexcept {
    s.rounding = FE_TONEAREST;
    return s;
  }
  static state read() noexcept {
    state s{};
    std::fegetenv(&s.environment);
    s.rounding = std::fegetround();
    return s;
  }
  static void write(state const& s) noexcept {
    std::fesetenv(&s.environment);
    std::fesetround(s.rounding);
  }
#endif
  state caller_;
};

}  // namespace objeval
