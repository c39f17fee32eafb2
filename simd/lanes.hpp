// SPDX-License-Identifier: MIT
// Many values of one type side by side, one per point, in Registers registers
// of Bytes bytes: every operation acts on each lane alone, with the rounding
// of a single value. Each register is an independent chain of operations, so
// several keep the vector units busy through each one's latency.
#pragma once

#include "simd/multiversion.hpp"

#include <cmath>
#include <cstddef>
#include <utility>

namespace objeval {

#if OBJEVAL_MULTIVERSION
typedef float floats_256 __attribute__((vector_size(32)));
typedef double doubles_256 __attribute__((vector_size(32)));
typedef float floats_512 __attribute__((vector_size(64)));
typedef double doubles_512 __attribute__((vector_size(64)));
// The instructions by the compilers' own names, as <immintrin.h> calls them
// (which takes a second and more to compile in each translation unit):
// all lanes, the rounding mode as it is (4).
#define OBJEVAL_FMA_VECTOR(TARGET, V, FMADD) \
  TARGET inline void fma_vector(V& s, V const& a, V const& b, V const& c) { s = FMADD; }
OBJEVAL_FMA_VECTOR(OBJEVAL_TARGET_V3, floats_256, __builtin_ia32_vfmaddps256(a, b, c))
OBJEVAL_FMA_VECTOR(OBJEVAL_TARGET_V3, doubles_256, __builtin_ia32_vfmaddpd256(a, b, c))
OBJEVAL_FMA_VECTOR(OBJEVAL_TARGET_V4, floats_512, __builtin_ia32_vfmaddps512_mask(a, b, c, static_cast<unsigned short>(-1), 4))
OBJEVAL_FMA_VECTOR(OBJEVAL_TARGET_V4, doubles_512, __builtin_ia32_vfmaddpd512_mask(a, b, c, static_cast<unsigned char>(-1), 4))
#undef OBJEVAL_FMA_VECTOR
#endif

template <class T, std::size_t Registers, std::size_t Bytes>
struct lanes {
  using value_type = T;
  typedef T reg __attribute__((vector_size(Bytes)));
  static constexpr std::size_t registers = Registers;
  static constexpr std::size_t per_register = Bytes / sizeof(T);
  static constexpr std::size_t width = Registers * per_register;

  reg r[Registers];

  lanes() = default;
  OBJEVAL_INLINE explicit lanes(T broadcast) { splat(broadcast, each{}); }

  // All lanes to out[0 .. width).
  OBJEVAL_INLINE void store(T* out) const { store(out, each{}); }

  OBJEVAL_INLINE friend lanes operator*(lanes const& a, T b) { return multiply(a, b, each{}); }
  OBJEVAL_INLINE friend lanes fma(lanes const& a, lanes const& b, lanes const& c) { return fused(a, b, c, each{}); }
  OBJEVAL_INLINE friend lanes fma(lanes const& a, T b, lanes const& c) { return fused(a, b, c, each{}); }

 private:
  // Every register by a constant index, never in a loop: the compiler then
  // keeps a whole block of sums in registers, however many there are.
  using each = std::make_index_sequence<Registers>;

  template <std::size_t... I>
  OBJEVAL_INLINE void splat(T broadcast, std::index_sequence<I...>) {
    ((splat_register(r[I], broadcast, std::make_index_sequence<per_register>{})), ...);
  }
  template <std::size_t... K>
  OBJEVAL_INLINE static void splat_register(reg& x, T broadcast, std::index_sequence<K...>) {
    x = reg{(static_cast<void>(K), broadcast)...};
  }
  template <std::size_t... I>
  OBJEVAL_INLINE void store(T* out, std::index_sequence<I...>) const {
    // Through a vector type that may alias T: taking the registers' addresses,
    // as memcpy would, can keep a block of sums in memory.
    typedef T unaligned __attribute__((vector_size(Bytes), aligned(alignof(T)), may_alias));
    ((*reinterpret_cast<unaligned*>(out + I * per_register) = r[I]), ...);
  }
  template <std::size_t... I>
  OBJEVAL_INLINE static lanes multiply(lanes const& a, T b, std::index_sequence<I...>) {
    lanes p;
    ((p.r[I] = a.r[I] * b), ...);
    return p;
  }
  template <std::size_t... I>
  OBJEVAL_INLINE static lanes fused(lanes const& a, T b, lanes const& c, std::index_sequence<I...>) {
    reg every_b;
    splat_register(every_b, b, std::make_index_sequence<per_register>{});
    lanes s;
    (fma_register(s.r[I], a.r[I], every_b, c.r[I], std::make_index_sequence<per_register>{}), ...);
    return s;
  }
  template <std::size_t... I>
  OBJEVAL_INLINE static lanes fused(lanes const& a, lanes const& b, lanes const& c, std::index_sequence<I...>) {
    lanes s;
    (fma_register(s.r[I], a.r[I], b.r[I], c.r[I], std::make_index_sequence<per_register>{}), ...);
    return s;
  }
  // One register of fused multiply-adds. On x86-64 the instruction is named
  // outright (fma_vector): the compiler does not always make the lanes' own
  // fused multiply-adds one instruction. fma_vector is not forced inline, for
  // only a version built for its instruction set can take it in.
  template <std::size_t... K>
  OBJEVAL_INLINE static void fma_register(reg& s, reg const& a, reg const& b, reg const& c, std::index_sequence<K...>) {
    if constexpr (OBJEVAL_MULTIVERSION && Bytes >= 32) {
      fma_vector(s, a, b, c);
    } else {
      s = reg{std::fma(a[K], b[K], c[K])...};
    }
  }
};

}  // namespace objeval
