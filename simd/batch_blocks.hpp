// SPDX-License-Identifier: MIT
// A batch in blocks of points in vector lanes: where its points come from
// (rows of floats or doubles, columns of doubles), each block filled while
// the one before it is summed.
#pragma once

#include "frame/exact_arithmetic.hpp"
#include "simd/lanes.hpp"
#include "simd/multiversion.hpp"
#include "simd/prefetch.hpp"
#include "simd/transpose.hpp"
#include "threads/kept_buffers.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <type_traits>

namespace objeval {

// Where a batch's points come from: rows, a point every `stride` values, of
// floats (the batch's own layout) or of doubles (NumPy's default order, a
// slice of a wider array's columns), each double rounded once to float as it
// is loaded. A block of Lane::width points is turned into N lanes: lane p of
// slot n holds value n of point p, widened; lanes past the last point hold 0.
template <std::size_t N, class Lane, class In>
struct point_rows {
  // Doubles fill the next block whole at the first step of the sum before,
  // floats a share at each step: so each measured best.
  static constexpr bool fill_at_once = std::is_same_v<In, double>;
  using T = typename Lane::value_type;
  using slots = std::array<Lane, N>;
  static constexpr std::size_t width = Lane::width, P = Lane::per_register;
  static constexpr std::size_t tiled = N / P * P;  // slots that go by whole tiles
  static constexpr std::size_t tile_columns = tiled / P;
  static constexpr std::size_t tiles = width / P * tile_columns;  // in a whole block
  In const* points;
  std::size_t stride;
  static constexpr In zero_row[N] = {};

  // Tile t of the whole block of points from `first`; finish() fills what
  // the tiles leave.
  OBJEVAL_INLINE void tile(std::size_t first, slots& out, std::size_t t) const {
    std::size_t const g = t / tile_columns, n = t % tile_columns * P;
    transpose_tile(points + (first + g * P) * stride + n, stride, &out[n], g);
  }
  OBJEVAL_INLINE void finish(std::size_t first, slots& out) const { rest(first, width, out); }
  // A block of `count` points, whole or not: a part goes by whole tiles
  // too, the rows past its last point read from a row of zeros (a value at
  // a time, at a stride of a row a store, it took five times as long).
  OBJEVAL_INLINE void all(std::size_t first, std::size_t count, slots& out) const {
    for (std::size_t t = 0; t < tiles; ++t) {
      if (count == width) {
        tile(first, out, t);
        continue;
      }
      std::size_t const g = t / tile_columns, n = t % tile_columns * P;
      if (g * P >= count) {
        for (std::size_t k = n; k < n + P; ++k) clear(out[k].r[g]);
        continue;
      }
      In const* rows[P];
      for (std::size_t p = 0; p < P; ++p)
        rows[p] = g * P + p < count ? points + (first + g * P + p) * stride + n : zero_row + n;
      transpose_tile(rows, &out[n], g);
    }
    rest(first, count, out);
  }
  OBJEVAL_INLINE void point(std::size_t p, T (&values)[N]) const {
    for (std::size_t n = 0; n < N; ++n) values[n] = rounded_to_float<T>(points[p * stride + n]);
  }
  // A share, at `step` of `steps`, of the block from `first`, brought nearer.
  OBJEVAL_INLINE void bring_nearer(std::size_t first, std::size_t step, std::size_t steps, prefetch_hint hint) const {
    if (stride == N) {
      prefetch_ahead{reinterpret_cast<char const*>(points + first * N), width * N * sizeof(In), hint}(step, steps);
      return;
    }
    for (std::size_t p = step * width / steps; p < (step + 1) * width / steps; ++p)
      prefetch_ahead{reinterpret_cast<char const*>(points + (first + p) * stride), N * sizeof(In), hint}(0, 1);
  }

 private:
  // What tiles leave: a block's last slots, past its whole tiles.
  OBJEVAL_INLINE void rest(std::size_t first, std::size_t count, slots& out) const {
    for (std::size_t p = 0; p < width; ++p)
      for (std::size_t n = tiled; n < N; ++n)
        out[n].r[p / P][p % P] = p < count ? rounded_to_float<T>(points[(first + p) * stride + n]) : T(0);
  }
};

// ... or the columns of a matrix of doubles, a point per row, as MATLAB and
// R hold a population: a block's slot n is a run down column n, which the
// lanes take as it lies, each value rounded once to float (and widened
// again where the lanes are doubles). Row r of column n is at
// columns[n * stride + r].
//
// Each run is brought nearer while the block before it is summed. Where the
// columns lie a multiple of 64 KiB apart, the runs of one block fall in the
// same sets of the second-level cache and evict each other: there each is
// brought in just ahead of its use instead, a few columns before it is
// filled (doorcost from 65,536 rows: 1.6 times the float batch, against 3.4).
template <std::size_t N, class Lane>
struct double_columns {
  static constexpr bool fill_at_once = false;
  using T = typename Lane::value_type;
  using slots = std::array<Lane, N>;
  static constexpr std::size_t width = Lane::width, P = Lane::per_register, tiles = N;
  static constexpr std::size_t colliding_lead = 8;  // columns; 6 to 12 measured alike
  double const* columns;
  std::size_t stride;
  bool colliding;

  OBJEVAL_INLINE void tile(std::size_t first, slots& out, std::size_t n) const {
    take(columns + n * stride + first, out[n], std::make_index_sequence<Lane::registers>{});
  }
  OBJEVAL_INLINE void finish(std::size_t, slots&) const {}
  // A block of `count` points, whole or not: each register of a run taken
  // as it lies, the register the run ends in without reading past its end
  // (the matrix may end there), zeros past the count.
  OBJEVAL_INLINE void all(std::size_t first, std::size_t count, slots& out) const {
    std::size_t const whole = count / P;
    for (std::size_t n = 0; n < N; ++n) {
      double const* run = columns + n * stride + first;
      for (std::size_t g = 0; g < whole; ++g) narrow_to_float(run + g * P, out[n].r[g]);
      if (whole < Lane::registers && count % P != 0) narrow_part_to_float(run + whole * P, count % P, out[n].r[whole]);
      for (std::size_t g = whole + (count % P != 0); g < Lane::registers; ++g) clear(out[n].r[g]);
    }
  }
  OBJEVAL_INLINE void point(std::size_t p, T (&values)[N]) const {
    for (std::size_t n = 0; n < N; ++n) values[n] = rounded_to_float<T>(columns[n * stride + p]);
  }
  OBJEVAL_INLINE void bring_nearer(std::size_t first, std::size_t step, std::size_t steps, prefetch_hint hint) const {
    std::size_t from = step * N / steps, to = (step + 1) * N / steps;
    if (colliding) {  // the next block's runs, a few columns ahead of their fill
      first -= width;
      from = std::min(N, from + colliding_lead);
      to = std::min(N, to + colliding_lead);
    }
    for (std::size_t n = from; n < to; ++n)
      prefetch_ahead{reinterpret_cast<char const*>(columns + n * stride + first), width * sizeof(double), hint}(0, 1);
  }

 private:
  // A whole run into a lane, a register at a time: converted as vectors, a
  // value at a time it took four times as long as the sum.
  template <std::size_t... G>
  OBJEVAL_INLINE static void take(double const* run, Lane& lane, std::index_sequence<G...>) {
    (narrow_to_float(run + G * P, lane.r[G]), ...);
  }
};

// The work a block's sum carries along between its steps: the next block,
// if whole, is filled a share at a time, and the one after it is brought
// nearer. Spread out like this, the loads find their lines in cache, and the
// shuffles may share the CPU with the sum's arithmetic (measured so with
// AVX-512; on Zen 3, filling after the sum costs the same).
template <class Source, class Slots>
struct fill_ahead {
  static constexpr std::size_t none = ~std::size_t{0};
  Source const* source = nullptr;
  std::size_t next = none, after_next = none;  // the blocks' first points
  Slots* next_slots = nullptr;
  prefetch_hint hint = prefetch_hint::every_level;

  OBJEVAL_INLINE void operator()(std::size_t step, std::size_t steps) const {
    if (after_next != none) source->bring_nearer(after_next, step, steps, hint);
    if (next == none) return;
    if constexpr (Source::fill_at_once) {
      // The whole block at the first step, in a loop kept rolled: its tiles
      // spread over the steps, each step a copy of them, took the compiler
      // three times as long for doorcost, for a difference the memory's pace
      // hides.
      if (step != 0) return;
#pragma GCC unroll 1
      for (std::size_t t = 0; t < Source::tiles; ++t) source->tile(next, *next_slots, t);
      source->finish(next, *next_slots);
      return;
    }
    for (std::size_t t = step * Source::tiles / steps; t < (step + 1) * Source::tiles / steps; ++t)
      source->tile(next, *next_slots, t);
    if (step + 1 == steps) source->finish(next, *next_slots);
  }
};

// Evaluates `count` points of N floats each, one at a time: the same sum on
// single values of type T, widened on the stack.
template <std::size_t N, class T, class Source, class Sum>
OBJEVAL_INLINE void evaluate_each(Source const& source, std::size_t count, float* results, Sum sum) {
  for (std::size_t p = 0; p < count; ++p) {
    T values[N];
    source.point(p, values);
    results[p] = canonical(static_cast<float>(sum(values, ignore_steps{})));
  }
}

// Evaluates `count` points of N floats each, a block of Lane::width points at
// a time: `sum` maps a block's N lanes to one lane of results, and each
// result is narrowed to float. Two blocks live on the heap, the one summed
// and the next: a caller's thread may have a small stack. Without memory for
// them, the points go one at a time, with the same results.
template <std::size_t N, class Lane, class Source, class Sum>
OBJEVAL_INLINE void evaluate_blocks(Source const& source, std::size_t count, float* results, Sum sum) {
  using T = typename Lane::value_type;
  using slots = std::array<Lane, N>;
  constexpr std::size_t width = Lane::width;
  // A thread's pair of blocks (up to 120 KB), kept between its calls.
  auto* const blocks = kept_buffers::of_this_thread().get<std::array<slots, 2>>();
  if (blocks == nullptr) return evaluate_each<N, T>(source, count, results, sum);
  auto const size_at = [count](std::size_t first) { return count - first < width ? count - first : width; };
  prefetch_hint const hint = batch_prefetch_hint();
  if (count != 0) source.all(0, size_at(0), (*blocks)[0]);
  for (std::size_t first = 0, b = 0; first < count; first += width, b ^= 1) {
    std::size_t const next = first + width;
    fill_ahead<Source, slots> ahead{&source};
    ahead.hint = hint;
    if (next + width <= count) ahead.next = next, ahead.next_slots = &(*blocks)[b ^ 1];
    if (next + 2 * width <= count) ahead.after_next = next + width;
    T values[width];
    sum((*blocks)[b].data(), ahead).store(values);  // not a named block: it would be kept in memory
    if (next < count && next + width > count) source.all(next, count - next, (*blocks)[b ^ 1]);
    for (std::size_t p = 0; p < size_at(first); ++p) results[first + p] = canonical(static_cast<float>(values[p]));
  }
}

}  // namespace objeval
