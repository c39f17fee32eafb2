// The batch function of an evaluator: blocks of points in vector lanes, one
// version per instruction set, shared between threads.
#pragma once

#include "frame/exact_arithmetic.hpp"
#include "simd/lanes.hpp"
#include "simd/multiversion.hpp"
#include "simd/prefetch.hpp"
#include "simd/transpose.hpp"
#include "threads/shares.hpp"

#include <array>
#include <cstddef>
#include <memory>
#include <new>

namespace objeval {

// A block of Lane::width points of N floats, turned into N lanes: lane p of
// slot n holds value n of point p, widened; lanes past the last point hold 0.
template <std::size_t N, class Lane>
struct block_fill {
  using T = typename Lane::value_type;
  using slots = std::array<Lane, N>;
  static constexpr std::size_t width = Lane::width, P = Lane::per_register;
  static constexpr std::size_t tiled = N / P * P;  // slots that go by whole tiles
  static constexpr std::size_t tile_columns = tiled / P;
  static constexpr std::size_t tiles = width / P * tile_columns;  // in a whole block

  // Tile t of a whole block.
  OBJEVAL_INLINE static void tile(float const* points, slots& out, std::size_t t) {
    std::size_t const g = t / tile_columns, n = t % tile_columns * P;
    transpose_tile(points + g * P * N + n, N, &out[n], g);
  }
  // What tiles leave: the last slots of a whole block, or all of a part.
  OBJEVAL_INLINE static void rest(float const* points, std::size_t count, slots& out) {
    std::size_t const whole = count == width ? width : 0;
    for (std::size_t p = 0; p < width; ++p)
      for (std::size_t n = p < whole ? tiled : 0; n < N; ++n)
        out[n].r[p / P][p % P] = p < count ? static_cast<T>(points[p * N + n]) : T(0);
  }
  OBJEVAL_INLINE static void all(float const* points, std::size_t count, slots& out) {
    if (count == width)
      for (std::size_t t = 0; t < tiles; ++t) tile(points, out, t);
    rest(points, count, out);
  }
};

// The work a block's sum carries along between its steps: the next block,
// if whole, is filled a share at a time, and the one after it is brought
// nearer. Spread out like this, the loads find their lines in cache, and the
// shuffles may share the CPU with the sum's arithmetic (measured so with
// AVX-512; on Zen 3, filling after the sum costs the same).
template <std::size_t N, class Lane>
struct fill_ahead {
  using fill = block_fill<N, Lane>;
  float const* next = nullptr;
  typename fill::slots* next_slots = nullptr;
  prefetch_ahead after_next;

  OBJEVAL_INLINE void operator()(std::size_t step, std::size_t steps) const {
    after_next(step, steps);
    if (next == nullptr) return;
    for (std::size_t t = step * fill::tiles / steps; t < (step + 1) * fill::tiles / steps; ++t)
      fill::tile(next, *next_slots, t);
    if (step + 1 == steps) fill::rest(next, fill::width, *next_slots);
  }
};

// Evaluates `count` points of N floats each, one at a time: the same sum on
// single values of type T, widened on the stack.
template <std::size_t N, class T, class Sum>
OBJEVAL_INLINE void evaluate_each(float const* points, std::size_t count, float* results, Sum sum) {
  for (std::size_t p = 0; p < count; ++p) {
    T values[N];
    for (std::size_t n = 0; n < N; ++n) values[n] = static_cast<T>(points[p * N + n]);
    results[p] = canonical(static_cast<float>(sum(values, ignore_steps{})));
  }
}

// A thread's blocks for one batch version, kept between its calls. Allocated
// afresh, a pair of blocks (up to 120 KB) may go back to the system at every
// free and be faulted in again at the next call: objeval-eval, which makes a
// batch call for every 90 points or so, took 1.75 times as long so on 10,000
// doorcost points. Null where there is no memory for them.
template <class Blocks>
Blocks* thread_blocks() noexcept {
  thread_local std::unique_ptr<Blocks> kept;
  if (!kept) kept.reset(new (std::nothrow) Blocks);  // not zeroed: every lane is filled before it is read
  return kept.get();
}

// Evaluates `count` points of N floats each, a block of Lane::width points at
// a time: `sum` maps a block's N lanes to one lane of results, and each
// result is narrowed to float. Two blocks live on the heap, the one summed
// and the next: a caller's thread may have a small stack. Without memory for
// them, the points go one at a time, with the same results.
template <std::size_t N, class Lane, class Sum>
OBJEVAL_INLINE void evaluate_blocks(float const* points, std::size_t count, float* results, Sum sum) {
  using T = typename Lane::value_type;
  using fill = block_fill<N, Lane>;
  constexpr std::size_t width = Lane::width;
  auto* const blocks = thread_blocks<std::array<typename fill::slots, 2>>();
  if (blocks == nullptr) return evaluate_each<N, T>(points, count, results, sum);
  auto const size_at = [count](std::size_t first) { return count - first < width ? count - first : width; };
  prefetch_hint const hint = batch_prefetch_hint();
  if (count != 0) fill::all(points, size_at(0), (*blocks)[0]);
  for (std::size_t first = 0, b = 0; first < count; first += width, b ^= 1) {
    std::size_t const next = first + width;
    fill_ahead<N, Lane> ahead;
    if (next + width <= count) ahead.next = points + next * N, ahead.next_slots = &(*blocks)[b ^ 1];
    if (next + 2 * width <= count)
      ahead.after_next = {reinterpret_cast<char const*>(points + (next + width) * N), width * N * sizeof(float), hint};
    T values[width];
    sum((*blocks)[b].data(), ahead).store(values);  // not a named block: it would be kept in memory
    if (next < count && next + width > count) fill::all(points + next * N, count - next, (*blocks)[b ^ 1]);
    for (std::size_t p = 0; p < size_at(first); ++p) results[first + p] = canonical(static_cast<float>(values[p]));
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
