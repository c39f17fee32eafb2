// SPDX-License-Identifier: MIT
// The definitions of a problem's batch readers, one per version: included
// only by the translation units the build makes for each problem, reader and
// version, each of which instantiates one of them with
// OBJEVAL_READER_VERSION(Problem, reader, version).
#pragma once

#include "simd/batch_blocks.hpp"
#include "simd/batch_readers.hpp"
#include "simd/lanes.hpp"

namespace objeval {

template <class Problem, std::size_t Bytes>
using problem_lane = lanes<typename Problem::lane_type, Problem::registers, Bytes>;

// The sum of a block, as evaluate_blocks takes it.
template <class Problem>
struct block_sum {
  template <class Lane, class Step>
  OBJEVAL_INLINE auto operator()(Lane const* slots, Step const& step) const {
    return Problem::sum(slots, step);
  }
};

template <class Problem, std::size_t Bytes>
OBJEVAL_INLINE void read_rows(float const* points, std::size_t count, float* results) {
  using lane = problem_lane<Problem, Bytes>;
  evaluate_blocks<Problem::dimension, lane>(point_rows<Problem::dimension, lane, float>{points, Problem::dimension},
                                            count, results, block_sum<Problem>{});
}

template <class Problem, std::size_t Bytes>
OBJEVAL_INLINE void read_columns(double_columns_at at, std::size_t count, float* results) {
  using lane = problem_lane<Problem, Bytes>;
  evaluate_blocks<Problem::dimension, lane>(
      double_columns<Problem::dimension, lane>{at.columns, at.stride, at.colliding}, count, results,
      block_sum<Problem>{});
}

template <class Problem, std::size_t Bytes>
OBJEVAL_INLINE void read_double_rows(double_rows_at at, std::size_t count, float* results) {
  using lane = problem_lane<Problem, Bytes>;
  evaluate_blocks<Problem::dimension, lane>(point_rows<Problem::dimension, lane, double>{at.points, at.stride},
                                            count, results, block_sum<Problem>{});
}

#define OBJEVAL_CPU_VERSION(name, target, bytes)                                                            \
  template <class Problem>                                                                                 \
  target void batch_reader<Problem>::rows_##name(float const* points, std::size_t count, float* results) { \
    read_rows<Problem, bytes>(points, count, results);                                                     \
  }                                                                                                        \
  template <class Problem>                                                                                 \
  target void batch_reader<Problem>::columns_##name(double_columns_at at, std::size_t count, float* results) { \
    read_columns<Problem, bytes>(at, count, results);                                                      \
  }                                                                                                        \
  template <class Problem>                                                                                 \
  target void batch_reader<Problem>::double_rows_##name(double_rows_at at, std::size_t count, float* results) { \
    read_double_rows<Problem, bytes>(at, count, results);                                                  \
  }
#include "simd/cpu_versions.def"

}  // namespace objeval

#define OBJEVAL_READER_ARGUMENTS_rows float const*, std::size_t, float*
#define OBJEVAL_READER_ARGUMENTS_columns objeval::double_columns_at, std::size_t, float*
#define OBJEVAL_READER_ARGUMENTS_double_rows objeval::double_rows_at, std::size_t, float*
#define OBJEVAL_READER_VERSION(Problem, reader, version) \
  template void objeval::batch_reader<Problem>::reader##_##version(OBJEVAL_READER_ARGUMENTS_##reader);
