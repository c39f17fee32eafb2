// SPDX-License-Identifier: MIT
// A problem's batch from each layout the library reads, a version per
// entry of simd/cpu_versions.def: the versions' declarations, and for each
// reader the version this CPU takes, chosen at its first call. Each version
// of each reader is defined in a translation unit of its own
// (simd/batch_reader_versions.hpp, made by the build for every problem).
//
// Problem is a descriptor: its dimension, the type its sum is computed in
// (lane_type), its registers of sums a block, and the sum itself.
#pragma once

#include "simd/multiversion.hpp"

#include <cstddef>

namespace objeval {

// The rows of a column-major matrix of doubles, a point per row: row r of
// column n at columns[n * stride + r]. `colliding` where the columns lie a
// multiple of 64 KiB apart (see double_columns).
struct double_columns_at {
  double const* columns;
  std::size_t stride;
  bool colliding;
};

// Rows of doubles: value n of point p at points[p * stride + n].
struct double_rows_at {
  double const* points;
  std::size_t stride;
};

// Where a reader's points from point `first` on lie.
inline float const* starting_at(float const* rows, std::size_t first, std::size_t dimension) {
  return rows + first * dimension;
}
inline double_columns_at starting_at(double_columns_at at, std::size_t first, std::size_t) {
  return {at.columns + first, at.stride, at.colliding};
}
inline double_rows_at starting_at(double_rows_at at, std::size_t first, std::size_t) {
  return {at.points + first * at.stride, at.stride};
}

// Each reader's version takes its points in blocks of a few sizes, each
// size a function of its own (`Registers` registers of sums a block, as the
// block plan chooses them; simd/batch_plan.hpp): apart, the compiler takes
// each in linear time.
template <class Problem>
struct batch_reader {
#define OBJEVAL_CPU_VERSION(name, target, bytes)                                                          \
  target static void rows_##name(float const* points, std::size_t count, float* results);                 \
  target static void columns_##name(double_columns_at columns, std::size_t count, float* results);       \
  target static void double_rows_##name(double_rows_at rows, std::size_t count, float* results);         \
  template <std::size_t Registers>                                                                       \
  target static void rows_blocks_##name(float const* points, std::size_t count, float* results);          \
  template <std::size_t Registers>                                                                       \
  target static void columns_blocks_##name(double_columns_at columns, std::size_t count, float* results); \
  template <std::size_t Registers>                                                                       \
  target static void double_rows_blocks_##name(double_rows_at rows, std::size_t count, float* results);
#include "simd/cpu_versions.def"

  static inline constinit versioned<void(float const*, std::size_t, float*)> rows{{
#define OBJEVAL_CPU_VERSION(name, target, bytes) &rows_##name,
#include "simd/cpu_versions.def"
  }};
  static inline constinit versioned<void(double_columns_at, std::size_t, float*)> columns{{
#define OBJEVAL_CPU_VERSION(name, target, bytes) &columns_##name,
#include "simd/cpu_versions.def"
  }};
  static inline constinit versioned<void(double_rows_at, std::size_t, float*)> double_rows{{
#define OBJEVAL_CPU_VERSION(name, target, bytes) &double_rows_##name,
#include "simd/cpu_versions.def"
  }};
};

}  // namespace objeval
