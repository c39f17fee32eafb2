// SPDX-License-Identifier: MIT
// The definitions of a problem's batch readers, one per version: included
// only by the translation units the build makes for each problem, reader and
// version, each of which instantiates one of them with
// OBJEVAL_READER_VERSION(Problem, reader, version).
#pragma once

#include "simd/batch_blocks.hpp"
#include "simd/batch_plan.hpp"
#include "simd/batch_readers.hpp"
#include "simd/lanes.hpp"

#include <type_traits>

namespace objeval {

template <class Problem, std::size_t Bytes, std::size_t Registers = Problem::registers>
using problem_lane = lanes<typename Problem::lane_type, Registers, Bytes>;

// The sum of a block, as evaluate_blocks takes it.
template <class Problem>
struct block_sum {
  template <class Lane, class Step>
  OBJEVAL_INLINE auto operator()(Lane const* slots, Step const& step) const {
    return Problem::sum(slots, step);
  }
};

// One size of block of each reader: `count` points in blocks of
// `Registers` registers, the last one part empty where the count says so.
template <class Problem, std::size_t Bytes, std::size_t Registers>
OBJEVAL_INLINE void read_rows(float const* points, std::size_t count, float* results) {
  using lane = problem_lane<Problem, Bytes, Registers>;
  evaluate_blocks<Problem::dimension, lane>(point_rows<Problem::dimension, lane, float>{points, Problem::dimension},
                                            count, results, block_sum<Problem>{});
}

template <class Problem, std::size_t Bytes, std::size_t Registers>
OBJEVAL_INLINE void read_columns(double_columns_at at, std::size_t count, float* results) {
  using lane = problem_lane<Problem, Bytes, Registers>;
  evaluate_blocks<Problem::dimension, lane>(
      double_columns<Problem::dimension, lane>{at.columns, at.stride, at.colliding}, count, results,
      block_sum<Problem>{});
}

template <class Problem, std::size_t Bytes, std::size_t Registers>
OBJEVAL_INLINE void read_double_rows(double_rows_at at, std::size_t count, float* results) {
  using lane = problem_lane<Problem, Bytes, Registers>;
  evaluate_blocks<Problem::dimension, lane>(point_rows<Problem::dimension, lane, double>{at.points, at.stride},
                                            count, results, block_sum<Problem>{});
}

// A reader's version: its points in the blocks the plan gives them, each
// size of block a function of its own (noinline: one function of them all
// took the compiler two and a half times as long).
#define OBJEVAL_READER_OF_VERSION(reader, at_type, name, target, bytes)                                           \
  template <class Problem>                                                                                     \
  template <std::size_t Registers>                                                                             \
  target __attribute__((noinline)) void batch_reader<Problem>::reader##_blocks_##name(at_type at, std::size_t count, \
                                                                                    float* results) {          \
    read_##reader<Problem, bytes, Registers>(at, count, results);                                              \
  }                                                                                                            \
  template <class Problem>                                                                                     \
  target void batch_reader<Problem>::reader##_##name(at_type at, std::size_t count, float* results) {          \
    run_plan<Problem::registers, problem_lane<Problem, bytes>::per_register, bytes>(                           \
        count, [&](auto registers, std::size_t first, std::size_t n) OBJEVAL_INLINE_LAMBDA {                   \
          reader##_blocks_##name<decltype(registers)::value>(starting_at(at, first, Problem::dimension), n,      \
                                                             results + first);                                 \
        });                                                                                                    \
  }

#define OBJEVAL_CPU_VERSION(name, target, bytes)                                 \
  OBJEVAL_READER_OF_VERSION(rows, float const*, name, target, bytes)             \
  OBJEVAL_READER_OF_VERSION(columns, double_columns_at, name, target, bytes)     \
  OBJEVAL_READER_OF_VERSION(double_rows, double_rows_at, name, target, bytes)
#include "simd/cpu_versions.def"
#undef OBJEVAL_READER_OF_VERSION

}  // namespace objeval

#define OBJEVAL_READER_ARGUMENTS_rows float const*, std::size_t, float*
#define OBJEVAL_READER_ARGUMENTS_columns objeval::double_columns_at, std::size_t, float*
#define OBJEVAL_READER_ARGUMENTS_double_rows objeval::double_rows_at, std::size_t, float*
#define OBJEVAL_READER_VERSION(Problem, reader, version) \
  template void objeval::batch_reader<Problem>::reader##_##version(OBJEVAL_READER_ARGUMENTS_##reader);
