// SPDX-License-Identifier: MIT
#include "capi/firewall.hpp"
#include "capi/problem_table.hpp"
#include "capi/strided_points.hpp"
#include "threads/worker_pool.hpp"

#include <objeval/objeval.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <new>

namespace {

constexpr std::size_t problem_count = std::size(objeval::problems);

// No buffer holds more than PTRDIFF_MAX bytes: a count past that is a mistake,
// caught before count * dimension can wrap around.
bool fits_in_memory(std::size_t count, std::size_t dimension) noexcept {
  constexpr std::size_t most_bytes = static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max());
  return count <= most_bytes / sizeof(float) / dimension;
}

template <class T>
objeval_status evaluate_strided(size_t problem, T const* points, size_t count, size_t point_stride, size_t value_stride,
                                float* values, unsigned threads) {
  if (problem >= problem_count) return OBJEVAL_NO_SUCH_PROBLEM;
  objeval::problem_entry const& p = objeval::problems[problem];
  objeval::strided const layout{point_stride, value_stride};
  if (!objeval::strides_fit<T>(count, p.info.dimension, layout) || !fits_in_memory(count, 1)) return OBJEVAL_COUNT_TOO_LARGE;
  if (count == 0) return OBJEVAL_OK;
  if (points == nullptr || values == nullptr) return OBJEVAL_NULL_POINTER;
  return objeval::firewall([&] {
    objeval::evaluate_strided(p, points, count, layout, values, threads);
    return OBJEVAL_OK;
  });
}

// The values as floats, then widened exactly: into a buffer of them all, or,
// without memory for one, a thousand at a time.
objeval_status evaluate_doubles(size_t problem, double const* points, size_t count, size_t point_stride,
                                size_t value_stride, double* values, unsigned threads) {
  if (problem >= problem_count) return OBJEVAL_NO_SUCH_PROBLEM;
  objeval::strided const layout{point_stride, value_stride};
  if (!objeval::strides_fit<double>(count, objeval::problems[problem].info.dimension, layout) ||
      !fits_in_memory(count, sizeof(double) / sizeof(float)))
    return OBJEVAL_COUNT_TOO_LARGE;
  if (count == 0) return OBJEVAL_OK;
  if (points == nullptr || values == nullptr) return OBJEVAL_NULL_POINTER;
  std::unique_ptr<float[]> const all(new (std::nothrow) float[count]);
  float some[1024];
  std::size_t const step = all ? count : std::size(some);
  float* const floats = all ? all.get() : some;
  for (std::size_t first = 0; first < count; first += step) {
    std::size_t const n = std::min(step, count - first);
    objeval_status const done =
        evaluate_strided(problem, points + first * point_stride, n, point_stride, value_stride, floats, threads);
    if (done != OBJEVAL_OK) return done;
    for (std::size_t k = 0; k < n; ++k) values[first + k] = floats[k];
  }
  return OBJEVAL_OK;
}

}  // namespace

extern "C" {

char const* objeval_version(void) { return OBJEVAL_VERSION_TEXT; }

size_t objeval_problem_count(void) { return problem_count; }

objeval_problem const* objeval_problem_at(size_t index) {
  return index < problem_count ? &objeval::problems[index].info : nullptr;
}

size_t objeval_problem_find(char const* name) {
  if (name != nullptr)
    for (std::size_t index = 0; index < problem_count; ++index)
      if (std::strcmp(objeval::problems[index].info.name, name) == 0) return index;
  return OBJEVAL_NO_PROBLEM;
}

objeval_status objeval_evaluate(size_t problem, float const* points, size_t count, float* values, unsigned threads) {
  if (problem >= problem_count) return OBJEVAL_NO_SUCH_PROBLEM;
  objeval::problem_entry const& p = objeval::problems[problem];
  if (!fits_in_memory(count, p.info.dimension)) return OBJEVAL_COUNT_TOO_LARGE;
  if (count == 0) return OBJEVAL_OK;
  if (points == nullptr || values == nullptr) return OBJEVAL_NULL_POINTER;
  if (count == 1) {
    values[0] = p.one(points);
    return OBJEVAL_OK;
  }
  return objeval::firewall([&] {
    p.batch({points, count * p.info.dimension}, {values, count}, threads);
    return OBJEVAL_OK;
  });
}

objeval_status objeval_evaluate_strided(size_t problem, float const* points, size_t count, size_t point_stride,
                             size_t value_stride, float* values, unsigned threads) {
  return evaluate_strided(problem, points, count, point_stride, value_stride, values, threads);
}

objeval_status objeval_evaluate_double(size_t problem, double const* points, size_t count, size_t point_stride,
                            size_t value_stride, float* values, unsigned threads) {
  return evaluate_strided(problem, points, count, point_stride, value_stride, values, threads);
}

objeval_status objeval_evaluate_doubles(size_t problem, double const* points, size_t count, size_t point_stride,
                                        size_t value_stride, double* values, unsigned threads) {
  return evaluate_doubles(problem, points, count, point_stride, value_stride, values, threads);
}

char const* objeval_status_message(objeval_status status) {
  switch (status) {
    case OBJEVAL_OK: return "success";
    case OBJEVAL_NULL_POINTER: return "a pointer is NULL";
    case OBJEVAL_COUNT_TOO_LARGE: return "the count is too large for memory";
    case OBJEVAL_NO_SUCH_PROBLEM: return "there is no such problem";
    case OBJEVAL_INTERNAL_ERROR: return "an internal error stopped the call";
  }
  return "unknown status";
}

void objeval_release_threads(void) {
  if (objeval::worker_pool* const pool = objeval::worker_pool::instance()) pool->release_idle();
}

float objeval_doorcost(float const* values) {
  return values != nullptr ? objeval::problems[OBJEVAL_DOORCOST].one(values) : std::numeric_limits<float>::quiet_NaN();
}

void objeval_doorcost_batch_threads(float const* points, size_t count, float* costs, unsigned threads) {
  objeval_evaluate(OBJEVAL_DOORCOST, points, count, costs, threads);
}

void objeval_doorcost_batch(float const* points, size_t count, float* costs) {
  objeval_evaluate(OBJEVAL_DOORCOST, points, count, costs, 1);
}

float objeval_quadobj(float const* values) {
  return values != nullptr ? objeval::problems[OBJEVAL_QUADOBJ].one(values) : std::numeric_limits<float>::quiet_NaN();
}

void objeval_quadobj_batch_threads(float const* points, size_t count, float* results, unsigned threads) {
  objeval_evaluate(OBJEVAL_QUADOBJ, points, count, results, threads);
}

void objeval_quadobj_batch(float const* points, size_t count, float* results) {
  objeval_evaluate(OBJEVAL_QUADOBJ, points, count, results, 1);
}

}
