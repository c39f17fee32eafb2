// SPDX-License-Identifier: MIT
// A problem's batch calls: each shares its points between threads and runs
// the reader this CPU takes (simd/batch_readers.hpp) on each share.
#pragma once

#include "frame/float_state.hpp"
#include "simd/batch_readers.hpp"
#include "threads/shares.hpp"

#include <cstddef>
#include <numeric>

namespace objeval {

// The points a thread's share is made of, a multiple of every version's
// block, so that no share but the batch's last ends in a block part empty:
// 64 for doorcost, 48 for quadobj (blocks of 48, 24 and 12).
template <class Problem>
inline constexpr std::size_t share_grain = [] {
  std::size_t block = 1;
#define OBJEVAL_CPU_VERSION(name, target, bytes) \
  block = std::lcm(block, Problem::registers * (bytes / sizeof(typename Problem::lane_type)));
#include "simd/cpu_versions.def"
  return (32 + block - 1) / block * block;
}();

// Each call evaluates `count` points into results[0 .. count), bit for bit
// as the one-point function, on `threads` threads (as thread_count() lowers
// them): the results never depend on the count, nor on the caller's
// floating-point state.

// Rows of floats, a point after a point.
template <class Problem>
void evaluate_batch(float const* points, std::size_t count, float* results, unsigned threads) {
  default_float_state const state;
  for_each_share(count, threads, share_grain<Problem>, [points, results](std::size_t first, std::size_t size) {
    batch_reader<Problem>::rows(points + first * Problem::dimension, size, results + first);
  });
}

template <class Problem>
void evaluate_columns(double const* columns, std::size_t stride, std::size_t count, float* results,
                      unsigned threads) {
  default_float_state const state;
  constexpr std::size_t cache_set_period = std::size_t{1} << 16;
  bool const colliding = stride * sizeof(double) % cache_set_period == 0;
  for_each_share(count, threads, share_grain<Problem>, [columns, stride, colliding, results](std::size_t first, std::size_t size) {
    batch_reader<Problem>::columns({columns + first, stride, colliding}, size, results + first);
  });
}

template <class Problem>
void evaluate_double_rows(double const* points, std::size_t stride, std::size_t count, float* results,
                          unsigned threads) {
  default_float_state const state;
  for_each_share(count, threads, share_grain<Problem>, [points, stride, results](std::size_t first, std::size_t size) {
    batch_reader<Problem>::double_rows({points + first * stride, stride}, size, results + first);
  });
}

}  // namespace objeval
