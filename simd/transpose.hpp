// SPDX-License-Identifier: MIT
// Points are stored one after another; a block of lanes wants value n of
// every point side by side. Square tiles of a register's width are turned
// in registers: each step swaps one bit of the row number with the same bit
// of the column number, one two-register shuffle a row.
#pragma once

#include "simd/multiversion.hpp"

#include <cstddef>
#include <cstring>
#include <type_traits>
#include <utility>

namespace objeval {

// A double rounded once to float (a float as it is), and widened again
// where T is double. The empty asm keeps the rounding: GCC 12 at -O3
// vectorized a loop's (double)(float)x and left the last values of each
// point unrounded (quadobj's points from doubles, one at a time, off by an
// ulp or two). The registers' conversions below, and the columns' first
// block, go without it (the layouts' test checks them): with it, quadobj's
// columns were 1.05 times as slow.
template <class T, class In>
OBJEVAL_INLINE T rounded_to_float(In x) {
  float rounded = static_cast<float>(x);
  if constexpr (!std::is_same_v<In, float> && !std::is_same_v<T, float>) {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    __asm__("" : "+x"(rounded));
#elif defined(__GNUC__) && defined(__aarch64__)
    __asm__("" : "+w"(rounded));
#elif defined(__GNUC__)
    __asm__("" : "+m"(rounded));
#endif
  }
  return static_cast<T>(rounded);
}

// P doubles at `in` into a register of P values, each rounded once to float
// (and widened again where the register holds doubles). Two doubles at a
// time, GCC 12 at -O3 made the rounding and the widening one plain copy,
// (double)(float)x as x (quadobj's columns of doubles on a CPU without
// AVX2, an ulp or so off): those go one at a time, each rounding held.
template <class Reg>
OBJEVAL_INLINE void narrow_to_float(double const* in, Reg& out) {
  constexpr std::size_t count = sizeof(Reg) / sizeof out[0];
  using T = std::remove_cvref_t<decltype(out[0])>;
  if constexpr (count == 2 && std::is_same_v<T, double>) {
    out = Reg{rounded_to_float<T>(in[0]), rounded_to_float<T>(in[1])};
  } else {
    typedef float floats __attribute__((vector_size(count * sizeof(float))));
    float each[count];
    for (std::size_t k = 0; k < count; ++k) each[k] = static_cast<float>(in[k]);
    floats rounded;
    std::memcpy(&rounded, each, sizeof rounded);
    out = __builtin_convertvector(rounded, Reg);
  }
}

// Zeros a register, as a register: loops of plain zero assignments to a
// block's slots became a call to memset a slot (a quarter of a small
// block's time for doorcost's columns). A zero the compiler cannot see,
// spread over the register, keeps them stores of registers.
template <class Reg>
OBJEVAL_INLINE void clear(Reg& out) {
  using T = std::remove_cvref_t<decltype(out[0])>;
  T zero = 0;
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
  __asm__("" : "+x"(zero));
#elif defined(__GNUC__) && defined(__aarch64__)
  __asm__("" : "+w"(zero));
#elif defined(__GNUC__)
  __asm__("" : "+m"(zero));
#endif
  out = Reg{} + zero;
}

namespace detail {
typedef double doubles_of_8 __attribute__((vector_size(64)));
typedef double doubles_of_4 __attribute__((vector_size(32)));
typedef float floats_of_8 __attribute__((vector_size(32)));
typedef float floats_of_4 __attribute__((vector_size(16)));
typedef long long mask_of_4 __attribute__((vector_size(32)));

#if OBJEVAL_MULTIVERSION
// The first `taken` doubles at `in`, zeros after, nothing past them read.
// Not forced inline: only a version built for the instruction set takes
// them in.
OBJEVAL_TARGET_V4 inline void masked_load(double const* in, std::size_t taken, doubles_of_8& out) {
  out = __builtin_ia32_loadupd512_mask(in, doubles_of_8{}, static_cast<unsigned char>((1u << taken) - 1));
}
OBJEVAL_TARGET_V3 inline void masked_load(double const* in, std::size_t taken, doubles_of_4& out) {
  mask_of_4 const m{0 < taken ? -1 : 0, 1 < taken ? -1 : 0, 2 < taken ? -1 : 0, 3 < taken ? -1 : 0};
  out = __builtin_ia32_maskloadpd256(reinterpret_cast<doubles_of_4 const*>(in), m);
}
#endif
}  // namespace detail

// The first `n` (below the register's count) of the doubles at `in` into a
// register as narrow_to_float makes them, zeros after, reading nothing past
// in[n - 1]: masked loads where there are (AVX-512, AVX2), else a copy.
// Values written one at a time into memory the sum then reads as vectors
// stalled each read (a third of a population's time for doorcost).
template <class Reg>
OBJEVAL_INLINE void narrow_part_to_float(double const* in, std::size_t n, Reg& out) {
  constexpr std::size_t count = sizeof(Reg) / sizeof out[0];
  using T = std::remove_cvref_t<decltype(out[0])>;
#if OBJEVAL_MULTIVERSION
  if constexpr (sizeof(Reg) == 64 || sizeof(Reg) == 32) {
    constexpr std::size_t per_load = sizeof(Reg) / 8;  // doubles a load takes
    using loaded = std::conditional_t<per_load == 8, detail::doubles_of_8, detail::doubles_of_4>;
    using narrowed = std::conditional_t<per_load == 8, detail::floats_of_8, detail::floats_of_4>;
    auto const load = [in, n](std::size_t from) OBJEVAL_INLINE_LAMBDA {
      loaded values;
      detail::masked_load(in + from, n > from ? (n - from < per_load ? n - from : per_load) : 0, values);
      return values;
    };
    if constexpr (std::is_same_v<T, double>) {
      narrowed rounded = __builtin_convertvector(load(0), narrowed);
#if !defined(__clang__)
      __asm__("" : "+v"(rounded));  // keeps the rounding from GCC 12: see rounded_to_float
#endif
      out = __builtin_convertvector(rounded, Reg);
    } else {
      narrowed const low = __builtin_convertvector(load(0), narrowed);
      narrowed const high = __builtin_convertvector(load(per_load), narrowed);
      out = [&]<std::size_t... K>(std::index_sequence<K...>) OBJEVAL_INLINE_LAMBDA {
        return __builtin_shufflevector(low, high, K...);
      }(std::make_index_sequence<count>{});
    }
    return;
  }
#endif
  double padded[count] = {};
  for (std::size_t k = 0; k < n; ++k) padded[k] = in[k];
  narrow_to_float(padded, out);
}

namespace detail {

template <std::size_t Bit, class Reg, std::size_t... C>
OBJEVAL_INLINE void swap_bit(Reg& low, Reg& high, std::index_sequence<C...>) {
  constexpr std::size_t P = sizeof...(C);
  Reg const l = __builtin_shufflevector(low, high, ((C & Bit) ? C - Bit + P : C)...);
  Reg const h = __builtin_shufflevector(low, high, ((C & Bit) ? C + P : C + Bit)...);
  low = l;
  high = h;
}

template <std::size_t Bit, class Reg, std::size_t P, std::size_t... Row>
OBJEVAL_INLINE void swap_bit_rows(Reg (&rows)[P], std::index_sequence<Row...>) {
  ((Row & Bit ? void() : swap_bit<Bit>(rows[Row], rows[Row + Bit], std::make_index_sequence<P>{})), ...);
}

template <class Reg, std::size_t P, std::size_t... Bit>
OBJEVAL_INLINE void transpose(Reg (&rows)[P], std::index_sequence<Bit...>) {
  (swap_bit_rows<std::size_t{1} << Bit>(rows, std::make_index_sequence<P>{}), ...);
}

constexpr std::size_t log2(std::size_t n) { return n <= 1 ? 0 : 1 + log2(n / 2); }

// Vectors go by reference, not by value: a function compiled for a narrower
// instruction set than the vector would pass them another way.
template <class Reg>
OBJEVAL_INLINE void widen(float const* in, Reg& out) {
  constexpr std::size_t count = sizeof(Reg) / sizeof out[0];
  typedef float floats __attribute__((vector_size(count * sizeof(float))));
  floats loaded;
  std::memcpy(&loaded, in, sizeof loaded);
  out = __builtin_convertvector(loaded, Reg);
}

template <class Reg>
OBJEVAL_INLINE void load_row(float const* in, Reg& out) {
  widen(in, out);
}
template <class Reg>
OBJEVAL_INLINE void load_row(double const* in, Reg& out) {
  narrow_to_float(in, out);
}

template <class Lane, class In, std::size_t... Row>
OBJEVAL_INLINE void transpose_tile(In const* const* in, Lane* out, std::size_t g, std::index_sequence<Row...>) {
  using reg = typename Lane::reg;
  constexpr std::size_t P = sizeof...(Row);
  reg rows[P];
  (load_row(in[Row], rows[Row]), ...);
  transpose(rows, std::make_index_sequence<log2(P)>{});
  ((out[Row].r[g] = rows[Row]), ...);
}

template <class Lane, class In, std::size_t... Row>
OBJEVAL_INLINE void transpose_tile(In const* in, std::size_t stride, Lane* out, std::size_t g,
                                   std::index_sequence<Row...>) {
  using reg = typename Lane::reg;
  constexpr std::size_t P = sizeof...(Row);
  reg rows[P];
  (load_row(in + Row * stride, rows[Row]), ...);
  transpose(rows, std::make_index_sequence<log2(P)>{});
  ((out[Row].r[g] = rows[Row]), ...);
}

}  // namespace detail

// Fills register `g` of out[0 .. P) from P points of `stride` floats (or
// doubles, each rounded once to float) at `in`, P values each: lane p of
// out[n].r[g] becomes value n of point p. Values are widened to the lanes'
// type first.
template <class Lane, class In>
OBJEVAL_INLINE void transpose_tile(In const* in, std::size_t stride, Lane* out, std::size_t g) {
  detail::transpose_tile(in, stride, out, g, std::make_index_sequence<Lane::per_register>{});
}

// The same from P rows wherever they lie: rows[p] holds point p's P values.
template <class Lane, class In>
OBJEVAL_INLINE void transpose_tile(In const* const* rows, Lane* out, std::size_t g) {
  detail::transpose_tile(rows, out, g, std::make_index_sequence<Lane::per_register>{});
}

}  // namespace objeval
