// SPDX-License-Identifier: MIT
// One evaluation compiled for several instruction sets, with the best one the
// CPU has picked at the first call. Fused multiply-adds are exact in every
// version: the hardware instruction where there is one, a correctly rounded
// fma in software elsewhere, so the choice never changes a result.
//
// On a virtual machine each cpuid traps to the hypervisor, and a run of a
// program costs little more than its start-up. So the choice reads the
// features the C library found at start-up; a program built without the C
// library (OBJEVAL_BARE) asks the CPU once, and only whether it has FMA.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>

// Instrumented builds leave inlining to the compiler: forced, the doorcost
// batch took minutes a translation unit to compile under the sanitizers.
#if defined(__GNUC__) && !defined(OBJEVAL_INLINE_FREELY)
#define OBJEVAL_INLINE __attribute__((always_inline)) inline
#define OBJEVAL_INLINE_LAMBDA __attribute__((always_inline))
#else
#define OBJEVAL_INLINE inline
#define OBJEVAL_INLINE_LAMBDA
#endif

#if defined(__x86_64__) && defined(__GNUC__) && !defined(OBJEVAL_NO_MULTIVERSION)
#define OBJEVAL_MULTIVERSION 1
// A build whose own flags reach a level compiles that version with them: a
// narrower target than the build's could not take in the shared code. The
// levels are named by their instruction sets, not as arch=x86-64-vN: a
// different arch than the build's (-march=native) would stop the shared code
// from being inlined into them.
#define OBJEVAL_ISA_V3 "avx,avx2,bmi,bmi2,f16c,fma,lzcnt,movbe,popcnt,sse4.2,xsave"
#if defined(__AVX2__) && defined(__FMA__) && defined(__BMI2__)
#define OBJEVAL_TARGET_V3
#else
#define OBJEVAL_TARGET_V3 __attribute__((target(OBJEVAL_ISA_V3)))
#endif
#if defined(__FMA__)
#define OBJEVAL_TARGET_FMA
#else
#define OBJEVAL_TARGET_FMA __attribute__((target("avx,fma")))
#endif
#if defined(__AVX512F__) && defined(__AVX512BW__) && defined(__AVX512DQ__) && defined(__AVX512VL__)
#define OBJEVAL_TARGET_V4
#else
#define OBJEVAL_TARGET_V4 __attribute__((target(OBJEVAL_ISA_V3 ",avx512f,avx512bw,avx512cd,avx512dq,avx512vl")))
#endif
#if defined(__GLIBC__) && __has_include(<sys/platform/x86.h>) && !defined(OBJEVAL_BARE)
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
#define OBJEVAL_TARGET_FMA
#define OBJEVAL_TARGET_V3
#define OBJEVAL_TARGET_V4
#endif

namespace objeval {

// Whether the CPU and the operating system run FMA instructions.
inline bool cpu_has_fma() noexcept {
#if OBJEVAL_MULTIVERSION && defined(OBJEVAL_GLIBC_CPU_FEATURES)
  return CPU_FEATURE_ACTIVE(AVX) && CPU_FEATURE_ACTIVE(FMA);
#elif OBJEVAL_MULTIVERSION && defined(OBJEVAL_BARE)
  unsigned eax = 1, ebx, ecx, edx;
  __asm__("cpuid" : "+a"(eax), "=b"(ebx), "=c"(ecx), "=d"(edx) : "c"(0));
  constexpr unsigned fma = 1u << 12, osxsave = 1u << 27, avx = 1u << 28;
  if ((ecx & (fma | osxsave | avx)) != (fma | osxsave | avx)) return false;
  unsigned xcr0_low, xcr0_high;
  __asm__("xgetbv" : "=a"(xcr0_low), "=d"(xcr0_high) : "c"(0));
  return (xcr0_low & 6u) == 6u;  // the OS saves the SSE and AVX registers
#elif OBJEVAL_MULTIVERSION
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx") && __builtin_cpu_supports("fma");
#else
  return false;
#endif
}

enum class cpu_vendor { other, amd, intel };

struct cpu_model {
  cpu_vendor vendor = cpu_vendor::other;
  unsigned family = 0;  // with its extended part added in
};

// Who made the CPU, and its family: two cpuid leaves, for tuning alone. The
// programs, whose runs are measured in microseconds, never ask it.
inline cpu_model this_cpu_model() noexcept {
  cpu_model cpu;
#if OBJEVAL_MULTIVERSION
  auto const cpuid = [](unsigned leaf, unsigned (&r)[4]) {
    __asm__("cpuid" : "=a"(r[0]), "=b"(r[1]), "=c"(r[2]), "=d"(r[3]) : "a"(leaf), "c"(0));
  };
  unsigned r[4];
  cpuid(0, r);
  unsigned const top_leaf = r[0];
  // The vendor's name is in ebx, edx, ecx: "Auth" "enti" "cAMD", "Genu" "ineI" "ntel".
  if (r[1] == 0x68747541 && r[3] == 0x69746e65 && r[2] == 0x444d4163) cpu.vendor = cpu_vendor::amd;
  if (r[1] == 0x756e6547 && r[3] == 0x49656e69 && r[2] == 0x6c65746e) cpu.vendor = cpu_vendor::intel;
  if (top_leaf < 1) return cpu;
  cpuid(1, r);
  unsigned const family = r[0] >> 8 & 0xf;
  cpu.family = family == 0xf ? family + (r[0] >> 20 & 0xff) : family;
#endif
  return cpu;
}

// The batch's versions, one per instruction set, widest first, as
// simd/cpu_versions.def lists them: the index of the widest this CPU runs.
inline std::size_t batch_version_index() noexcept {
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
  return v4 ? 0 : v3 ? 1 : 2;
}

inline constexpr std::size_t batch_version_count = 0
#define OBJEVAL_CPU_VERSION(name, target, bytes) +1
#include "simd/cpu_versions.def"
    ;

// A one-point evaluation needs only the FMA instruction: two versions.
inline constexpr std::size_t point_version_count = 2;
inline std::size_t point_version_index() noexcept { return cpu_has_fma() ? 0 : 1; }

// The versions of one function, one per entry of a list; constant-
// initialised, so a namespace-scope instance runs no constructor at
// start-up. The first call asks `choose` for the index of the one this CPU
// runs.
template <class Signature, std::size_t Count = batch_version_count>
class versioned;

template <class R, class... A, std::size_t Count>
class versioned<R(A...), Count> {
 public:
  using function = R(A...);
  using chooser = std::size_t() noexcept;
  constexpr versioned(std::array<function*, Count> versions, chooser* choose = batch_version_index) noexcept
      : choose_(choose), versions_(versions) {}

  R operator()(A... args) const {
    function* chosen = chosen_.load(std::memory_order_relaxed);
    if (chosen == nullptr) {
      chosen = versions_[choose_()];
      chosen_.store(chosen, std::memory_order_relaxed);
    }
    return chosen(args...);
  }

 private:
  chooser* choose_;
  std::array<function*, Count> versions_;
  mutable std::atomic<function*> chosen_{nullptr};
};

}  // namespace objeval
