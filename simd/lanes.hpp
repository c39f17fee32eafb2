// Many values of one type side by side, one per point, in registers of Bytes
// bytes: every operation acts on each lane alone, with the rounding of a
// single value.
#pragma once

#include "frame/exact_arithmetic.hpp"
#include "simd/batch_threads.hpp"
#include "simd/multiversion.hpp"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>
#include <type_traits>
#include <utility>

namespace objeval {

template <class T, std::size_t Registers, std::size_t Bytes = 64>
struct lanes {
  using value_type = T;
  typedef T reg __attribute__((vector_size(Bytes)));
  static constexpr std::size_t per_register = Bytes / sizeof(T);
  static constexpr std::size_t width = Registers * per_register;

  reg r[Registers];

  lanes() = default;
  OBJEVAL_INLINE explicit lanes(T broadcast) {
    for (reg& x : r) x = reg{} + broadcast;
  }

  // All lanes to out[0 .. width), by constant lane numbers: the registers stay
  // registers in the code that computed them.
  OBJEVAL_INLINE void store(T* out) const {
    for (std::size_t i = 0; i < Registers; ++i)
      store_register(out + i * per_register, r[i], std::make_index_sequence<per_register>{});
  }
  OBJEVAL_INLINE void set(std::size_t lane, T value) { r[lane / per_register][lane % per_register] = value; }

  OBJEVAL_INLINE friend lanes operator*(lanes const& a, T b) {
    lanes p;
    for (std::size_t i = 0; i < Registers; ++i) p.r[i] = a.r[i] * b;
    return p;
  }
  OBJEVAL_INLINE friend lanes operator*(lanes const& a, lanes const& b) {
    lanes p;
    for (std::size_t i = 0; i < Registers; ++i) p.r[i] = a.r[i] * b.r[i];
    return p;
  }
  OBJEVAL_INLINE friend lanes fma(lanes const& a, lanes const& b, lanes const& c) {
    lanes s;
    for (std::size_t i = 0; i < Registers; ++i)
      fma_register(s.r[i], a.r[i], b.r[i], c.r[i], std::make_index_sequence<per_register>{});
    return s;
  }

  // Whether blocks are filled by square tiles: measured faster for four
  // doubles a register (AVX2), where each value is widened on the way.
  static constexpr bool tiles = std::is_same_v<T, double> && per_register == 4;

  // A square tile of per_register points by per_register slots, from rows of
  // `in_stride` floats into register `g` of out[0 .. per_register): slot n of
  // point p becomes lane p of that register of out[n].
  OBJEVAL_INLINE static void transpose_tile(float const* in, std::size_t in_stride, lanes* out, std::size_t g) {
    transpose_tile(in, in_stride, out, g, std::make_index_sequence<per_register>{});
  }

 private:
  template <std::size_t... K>
  OBJEVAL_INLINE static void store_register(T* out, reg const& x, std::index_sequence<K...>) {
    ((out[K] = x[K]), ...);
  }

  template <std::size_t... K>
  OBJEVAL_INLINE static void transpose_tile(float const* in, std::size_t in_stride, lanes* out, std::size_t g,
                                            std::index_sequence<K...>) {
    typedef float floats __attribute__((vector_size(per_register * sizeof(float))));
    reg rows[per_register];
    for (std::size_t p = 0; p < per_register; ++p) {
      floats loaded;
      std::memcpy(&loaded, in + p * in_stride, sizeof loaded);
      rows[p] = __builtin_convertvector(loaded, reg);
    }
    for (std::size_t n = 0; n < per_register; ++n) out[n].r[g] = reg{rows[K][n]...};
  }

  // One register built whole from its lanes' fused multiply-adds: the
  // compiler makes it one vector instruction and keeps it in a register.
  template <std::size_t... K>
  OBJEVAL_INLINE static void fma_register(reg& s, reg const& a, reg const& b, reg const& c, std::index_sequence<K...>) {
    s = reg{std::fma(a[K], b[K], c[K])...};
  }
};

// Evaluates `count` points of N floats each, a block of Lane::width points at
// a time: the block is turned into N lanes (unused lanes hold 0), `sum` maps
// them to one lane of results, and each result is narrowed to float. The
// block lives on the heap: a caller's thread may have a small stack.
template <std::size_t N, class Lane, class Sum>
OBJEVAL_INLINE void evaluate_blocks(float const* points, std::size_t count, float* results, Sum sum) {
  using T = typename Lane::value_type;
  constexpr std::size_t width = Lane::width, tile = Lane::per_register;
  constexpr std::size_t tiled = N / tile * tile;  // slots that go by whole tiles
  auto const owned = std::make_unique<std::array<Lane, N>>();
  std::array<Lane, N>& slots = *owned;
  for (std::size_t first = 0; first < count; first += width) {
    std::size_t const filled = count - first < width ? count - first : width;
    std::size_t lane = 0;
    if constexpr (Lane::tiles) {
      if (filled == width)
        for (; lane < width; lane += tile)
          for (std::size_t n = 0; n < tiled; n += tile)
            Lane::transpose_tile(points + (first + lane) * N + n, N, &slots[n], lane / tile);
    }
    // What the tiles left: the last slots of tiled points, all of the others.
    for (std::size_t p = 0; p < width; ++p)
      for (std::size_t n = p < lane ? tiled : 0; n < N; ++n)
        slots[n].set(p, p < filled ? static_cast<T>(points[(first + p) * N + n]) : T(0));
    Lane const block = sum(slots);
    T values[width];
    block.store(values);
    for (std::size_t p = 0; p < filled; ++p) results[first + p] = canonical(static_cast<float>(values[p]));
  }
}

// The batch function of an evaluator, one version per instruction set, each
// with registers of its own width: as many points per block, and as many
// independent sums, in each. Sum is a captureless generic lambda type mapping
// the N lanes of a block to its results.
template <std::size_t N, class T, std::size_t Registers, class Sum>
class batch_versions {
 public:
  // Points are shared between `threads` threads (0: one per core).
  static void evaluate(float const* points, std::size_t count, float* results, unsigned threads) {
    for_each_share(count, threads, 64, [points, results](std::size_t first, std::size_t size) {
      versions_(points + first * N, size, results + first);
    });
  }

 private:
  OBJEVAL_TARGET_V4 static void v4(float const* points, std::size_t count, float* results) {
    evaluate_blocks<N, lanes<T, Registers, 64>>(points, count, results, Sum{});
  }
  OBJEVAL_TARGET_V3 static void v3(float const* points, std::size_t count, float* results) {
    evaluate_blocks<N, lanes<T, Registers * 2, 32>>(points, count, results, Sum{});
  }
  static void baseline(float const* points, std::size_t count, float* results) {
    evaluate_blocks<N, lanes<T, Registers * 4, 16>>(points, count, results, Sum{});
  }
  static inline constinit versioned<void(float const*, std::size_t, float*)> versions_{v4, v3, baseline};
};

}  // namespace objeval
