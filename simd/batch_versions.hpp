// The batch function of an evaluator: blocks of points in vector lanes, one
// version per instruction set, shared between threads.
#pragma once

#include "frame/exact_arithmetic.hpp"
#include "simd/batch_threads.hpp"
#include "simd/lanes.hpp"
#include "simd/multiversion.hpp"
#include "simd/transpose.hpp"

#include <array>
#include <cstddef>
#include <memory>

namespace objeval {

// Evaluates `count` points of N floats each, a block of Lane::width points at
// a time: the block is turned into N lanes (unused lanes hold 0), `sum` maps
// them to one lane of results, and each result is narrowed to float. The
// block lives on the heap: a caller's thread may have a small stack.
template <std::size_t N, class Lane, class Sum>
OBJEVAL_INLINE void evaluate_blocks(float const* points, std::size_t count, float* results, Sum sum) {
  using T = typename Lane::value_type;
  constexpr std::size_t width = Lane::width, P = Lane::per_register;
  constexpr std::size_t tiled = N / P * P;  // slots that go by whole tiles
  auto const owned = std::make_unique<std::array<Lane, N>>();
  std::array<Lane, N>& slots = *owned;
  for (std::size_t first = 0; first < count; first += width) {
    std::size_t const filled = count - first < width ? count - first : width;
    std::size_t const whole = filled == width ? width : 0;  // points that go by tiles
    for (std::size_t p = 0; p < whole; p += P)
      for (std::size_t n = 0; n < tiled; n += P) transpose_tile(points + (first + p) * N + n, N, &slots[n], p / P);
    for (std::size_t p = 0; p < width; ++p)
      for (std::size_t n = p < whole ? tiled : 0; n < N; ++n)
        slots[n].r[p / P][p % P] = p < filled ? static_cast<T>(points[(first + p) * N + n]) : T(0);
    Lane const block = sum(slots.data());
    T values[width];
    block.store(values);
    for (std::size_t p = 0; p < filled; ++p) results[first + p] = canonical(static_cast<float>(values[p]));
  }
}

// One version per instruction set, each with Registers registers of its own
// width a block: as many independent sums in flight in each. Sum is a
// captureless generic lambda type mapping the N lanes of a block to its
// results.
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
    evaluate_blocks<N, lanes<T, Registers, 32>>(points, count, results, Sum{});
  }
  static void baseline(float const* points, std::size_t count, float* results) {
    evaluate_blocks<N, lanes<T, Registers, 16>>(points, count, results, Sum{});
  }
  static inline constinit versioned<void(float const*, std::size_t, float*)> versions_{v4, v3, baseline};
};

}  // namespace objeval
