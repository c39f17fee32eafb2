// One evaluation compiled for several instruction sets, with the best one the
// CPU has picked at the first call. Fused multiply-adds are exact in every
// version: the hardware instruction where there is one, the C library's
// correctly rounded fma elsewhere, so the choice never changes a result.
//
// The choice reads the features the C library found at start-up instead of
// running cpuid again: on a virtual machine each cpuid costs microseconds,
// and a run of a program costs little more than its start-up.
#pragma once

#include <atomic>

#if defined(__GNUC__)
#define OBJEVAL_INLINE __attribute__((always_inline)) inline
#define OBJEVAL_INLINE_LAMBDA __attribute__((always_inline))
#else
#define OBJEVAL_INLINE inline
#define OBJEVAL_INLINE_LAMBDA
#endif

#if defined(__x86_64__) && defined(__GNUC__) && !defined(OBJEVAL_NO_MULTIVERSION)
#define OBJEVAL_MULTIVERSION 1
// A build whose own flags reach a level compiles that version with them: a
// narrower target than the build's could not take in the shared code.
#if defined(__AVX2__) && defined(__FMA__) && defined(__BMI2__)
#define OBJEVAL_TARGET_V3
#else
#define OBJEVAL_TARGET_V3 __attribute__((target("arch=x86-64-v3")))
#endif
#if defined(__AVX512F__) && defined(__AVX512BW__) && defined(__AVX512DQ__) && defined(__AVX512VL__)
#define OBJEVAL_TARGET_V4
#else
#define OBJEVAL_TARGET_V4 __attribute__((target("arch=x86-64-v4")))
#endif
#if defined(__GLIBC__) && __has_include(<sys/platform/x86.h>)
#if defined(__clang__)
#define _Bool bool  // the C header's own type, which Clang's C++ lacks
#include <sys/platform/x86.h>
#undef _Bool
#else
#include <sys/platform/x86.h>
#endif
#define OBJEVAL_GLIBC_CPU_FEATURES 1
#endif
#else
#define OBJEVAL_MULTIVERSION 0
#define OBJEVAL_TARGET_V3
#define OBJEVAL_TARGET_V4
#endif

namespace objeval {

enum class isa_level { baseline, x86_64_v3, x86_64_v4 };

inline isa_level cpu_isa_level() noexcept {
#if OBJEVAL_MULTIVERSION && defined(OBJEVAL_GLIBC_CPU_FEATURES)
  bool const v3 = CPU_FEATURE_ACTIVE(AVX) && CPU_FEATURE_ACTIVE(AVX2) && CPU_FEATURE_ACTIVE(BMI1) &&
                  CPU_FEATURE_ACTIVE(BMI2) && CPU_FEATURE_ACTIVE(F16C) && CPU_FEATURE_ACTIVE(FMA) &&
                  CPU_FEATURE_ACTIVE(LZCNT) && CPU_FEATURE_ACTIVE(MOVBE);
  bool const v4 = v3 && CPU_FEATURE_ACTIVE(AVX512F) && CPU_FEATURE_ACTIVE(AVX512BW) &&
                  CPU_FEATURE_ACTIVE(AVX512CD) && CPU_FEATURE_ACTIVE(AVX512DQ) && CPU_FEATURE_ACTIVE(AVX512VL);
#elif OBJEVAL_MULTIVERSION
  // Not every compiler can ask for F16C, LZCNT and MOVBE; every CPU with
  // AVX2 and BMI2 has them.
  __builtin_cpu_init();
  bool const v3 = __builtin_cpu_supports("avx") && __builtin_cpu_supports("avx2") &&
                  __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("fma");
  bool const v4 = v3 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                  __builtin_cpu_supports("avx512cd") && __builtin_cpu_supports("avx512dq") &&
                  __builtin_cpu_supports("avx512vl");
#else
  bool const v3 = false, v4 = false;
#endif
  return v4 ? isa_level::x86_64_v4 : v3 ? isa_level::x86_64_v3 : isa_level::baseline;
}

// The versions of one function; constant-initialised, so a namespace-scope
// instance runs no constructor at start-up.
template <class Signature>
class versioned;

template <class R, class... A>
class versioned<R(A...)> {
 public:
  using function = R(A...);
  constexpr versioned(function* v4, function* v3, function* baseline) noexcept
      : v4_(v4), v3_(v3), baseline_(baseline) {}

  R operator()(A... args) const {
    function* chosen = chosen_.load(std::memory_order_relaxed);
    if (chosen == nullptr) {
      isa_level const level = cpu_isa_level();
      chosen = level == isa_level::x86_64_v4 ? v4_ : level == isa_level::x86_64_v3 ? v3_ : baseline_;
      chosen_.store(chosen, std::memory_order_relaxed);
    }
    return chosen(args...);
  }

 private:
  function* v4_;
  function* v3_;
  function* baseline_;
  mutable std::atomic<function*> chosen_{nullptr};
};

// The one-point function of an evaluator. Evaluate is a captureless lambda
// type, float(float const*). A single point is one serial chain of
// multiply-adds, so wider vectors than x86-64-v3's would not help it.
template <class Evaluate>
class point_versions {
 public:
  static float evaluate(float const* values) { return versions_(values); }

 private:
  OBJEVAL_TARGET_V3 static float v3(float const* values) { return Evaluate{}(values); }
  static float baseline(float const* values) { return Evaluate{}(values); }
  static inline constinit versioned<float(float const*)> versions_{v3, v3, baseline};
};

}  // namespace objeval
