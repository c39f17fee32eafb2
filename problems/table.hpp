// SPDX-License-Identifier: MIT
// The problems, in one table: the C interface, objeval-eval and, through the
// C interface, every language binding take their names, dimensions,
// descriptions and evaluations from here. The build makes it from the list
// of problems (problems/list.cmake), a descriptor each.
#pragma once

#include <objeval/problem.h>

#include <cstddef>
#include <span>

namespace objeval {

struct problem_entry {
  objeval_problem info;
  // The problem's number in a study's files (function_id), fixed forever:
  // studies already written keep their meaning when problems are added.
  unsigned study_id;
  // A thread's share of a batch is a multiple of this many points.
  std::size_t grain;
  float (*one)(float const* point) noexcept;
  // Rows of floats, a point after a point.
  void (*batch)(float const* points, std::size_t count, float* values, unsigned threads);
  // The rows of a column-major matrix of doubles: row r of column n at columns[n * stride + r].
  void (*columns)(double const* columns, std::size_t stride, std::size_t count, float* values, unsigned threads);
  // Rows of doubles: value n of point p at points[p * stride + n].
  void (*double_rows)(double const* points, std::size_t stride, std::size_t count, float* values,
                      unsigned threads);
};

extern std::span<problem_entry const> const problems;

// No problem has more numbers in a point: a point fits on any thread's stack.
inline constexpr std::size_t largest_dimension = 4096;

// The problem named `name`, or null.
problem_entry const* find_problem(char const* name) noexcept;

}  // namespace objeval
