// SPDX-License-Identifier: MIT
// Points in any layout, float or double. The rows of a column-major matrix
// of doubles (MATLAB, R, NumPy's Fortran order) go to the batch that reads
// them down the columns, rows of doubles (NumPy's C order, a slice of a
// wider array's columns) to the batch that turns them in tiles. Any other
// layout is evaluated a share at a time: each thread gathers up to
// 1024 points into a buffer of its own, rounding each value to float, and
// evaluates them while they are in its cache; where values of a point lie
// apart, eight are gathered at a time, so that every read walks on in its
// own run and every write fills half a line.
#pragma once

#include "problems/table.hpp"
#include "threads/kept_buffers.hpp"
#include "threads/shares.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>

namespace objeval {

// Value k of point p at points[p * point_stride + k * coordinate_stride].
struct strided {
  std::size_t point_stride;
  std::size_t coordinate_stride;
};

// Whether every value of `count` points lies within what memory can hold.
template <class T>
bool strides_fit(std::size_t count, std::size_t dimension, strided layout) noexcept {
  if (count == 0) return true;
  std::size_t last_point, last_value, last;
  constexpr std::size_t most = static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max()) / sizeof(T);
  return !__builtin_mul_overflow(count - 1, layout.point_stride, &last_point) &&
         !__builtin_mul_overflow(dimension - 1, layout.coordinate_stride, &last_value) &&
         !__builtin_add_overflow(last_point, last_value, &last) && last < most && count <= most / dimension;
}

// Points [first, first + count) as `count` rows of `dimension` floats.
template <class T>
void gather(T const* points, std::size_t first, std::size_t count, std::size_t dimension, strided layout,
            float* rows) noexcept {
  if (layout.coordinate_stride == 1) {
    for (std::size_t p = 0; p < count; ++p) {
      T const* point = points + (first + p) * layout.point_stride;
      for (std::size_t k = 0; k < dimension; ++k) rows[p * dimension + k] = static_cast<float>(point[k]);
    }
    return;
  }
  constexpr std::size_t tile = 8;  // 16 and 32 measured 1.2 and 2 times as slow
  for (std::size_t k0 = 0; k0 < dimension; k0 += tile) {
    std::size_t const k1 = std::min(dimension, k0 + tile);
    for (std::size_t p = 0; p < count; ++p) {
      T const* point = points + (first + p) * layout.point_stride;
      for (std::size_t k = k0; k < k1; ++k) rows[p * dimension + k] = static_cast<float>(point[k * layout.coordinate_stride]);
    }
  }
}

template <class T>
void evaluate_strided(problem_entry const& problem, T const* points, std::size_t count, strided layout,
                      float* values, unsigned threads) {
  std::size_t const dimension = problem.info.dimension;
  // Straight into the lanes, read while the blocks before them are summed:
  // 1.0 to 1.8 times the float batch (quadobj, doorcost; Intel, 65,000 and
  // 65,536 points), where gathering took 1.3 to 2.6.
  if constexpr (std::is_same_v<T, double>) {
    if (layout.point_stride == 1 && count > 1 && layout.coordinate_stride >= count) {
      problem.columns(points, layout.coordinate_stride, count, values, threads);
      return;
    }
    if (layout.coordinate_stride == 1 && count > 1 && layout.point_stride >= dimension) {
      problem.double_rows(points, layout.point_stride, count, values, threads);
      return;
    }
  } else {
    if (layout.coordinate_stride == 1 && layout.point_stride == dimension) {
      problem.batch(points, count, values, threads);
      return;
    }
  }
  // About 1024 points a gather, whole blocks: long runs down each column for
  // the hardware prefetcher, and rows a second-level cache holds (1 MB for
  // doorcost).
  std::size_t const gathered = (1024 + problem.grain - 1) / problem.grain * problem.grain;
  for_each_share(count, threads, problem.grain, [&](std::size_t first, std::size_t size) {
    float* const kept = kept_buffers::of_this_thread().array<float>(std::min(size, gathered) * dimension);
    if (kept == nullptr) {  // no memory for a buffer: a point at a time, on the stack
      float row[largest_dimension];
      for (std::size_t p = first; p < first + size; ++p) {
        gather(points, p, 1, dimension, layout, row);
        values[p] = problem.one(row);
      }
      return;
    }
    for (std::size_t at = first; at < first + size; at += gathered) {
      std::size_t const n = std::min(gathered, first + size - at);
      gather(points, at, n, dimension, layout, kept);
      if (n == 1)
        values[at] = problem.one(kept);
      else
        problem.batch(kept, n, values + at, 1);
    }
  });
}

}  // namespace objeval
