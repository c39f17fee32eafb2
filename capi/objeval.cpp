// SPDX-License-Identifier: MIT
#include "capi/firewall.hpp"
#include "capi/strided_points.hpp"
#include "frame/float_state.hpp"
#include "problems/table.hpp"
#include "threads/kept_buffers.hpp"
#include "threads/worker_pool.hpp"

#include <objeval/objeval.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <new>

namespace {

// No buffer holds more than PTRDIFF_MAX bytes: a count past that is a mistake,
// caught before count * dimension can wrap around.
bool fits_in_memory(std::size_t count, std::size_t dimension) noexcept {
  constexpr std::size_t most_bytes = static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max());
  return count <= most_bytes / sizeof(float) / dimension;
}

// The checked calls' arguments: a problem of the table, strides that keep
// every value within memory, and no null pointer for a batch that reads.
template <class T>
objeval_status check_call(size_t problem, T const* points, size_t count, objeval::strided layout, void const* values,
                          std::size_t value_size) noexcept {
  if (problem >= objeval::problems.size()) return OBJEVAL_NO_SUCH_PROBLEM;
  if (!objeval::strides_fit<T>(count, objeval::problems[problem].info.dimension, layout) ||
      !fits_in_memory(count, value_size / sizeof(float)))
    return OBJEVAL_COUNT_TOO_LARGE;
  if (count != 0 && (points == nullptr || values == nullptr)) return OBJEVAL_NULL_POINTER;
  return OBJEVAL_OK;
}

// Floats for a batch's values: the caller's own memory, unless it shares
// memory with the points (values written over them), where blocks evaluated
// at once would overwrite points not yet read; then a buffer, or null
// without memory for one.
class value_floats {
 public:
  template <class T>
  value_floats(T const* points, std::size_t count, std::size_t dimension, objeval::strided layout, void* values,
               std::size_t value_size) {
    std::size_t const span = (count - 1) * layout.point_stride + (dimension - 1) * layout.coordinate_stride + 1;
    auto const p = reinterpret_cast<std::uintptr_t>(points), v = reinterpret_cast<std::uintptr_t>(values);
    if (count > 1 && v < p + span * sizeof(T) && p < v + count * value_size)
      apart_.reset(new (std::nothrow) float[count]);
    else
      floats_ = static_cast<float*>(values);
  }
  float* get() const { return apart_ ? apart_.get() : floats_; }

 private:
  float* floats_ = nullptr;
  std::unique_ptr<float[]> apart_;
};

// A checked call's points into float values: one point goes to the
// one-point function, whatever its layout.
template <class T>
void strided_values(objeval::problem_entry const& problem, T const* points, size_t count, objeval::strided layout,
                    float* values, unsigned threads) {
  if (count == 1) {
    float point[objeval::largest_dimension];
    objeval::gather(points, 0, 1, problem.info.dimension, layout, point);
    values[0] = problem.one(point);
    return;
  }
  objeval::evaluate_strided(problem, points, count, layout, values, threads);
}

template <class T>
objeval_status checked_strided(size_t problem, T const* points, size_t count, objeval::strided layout, float* values,
                               unsigned threads) {
  objeval_status const status = check_call(problem, points, count, layout, values, sizeof(float));
  if (status != OBJEVAL_OK || count == 0) return status;
  objeval::problem_entry const& entry = objeval::problems[problem];
  value_floats const floats(points, count, entry.info.dimension, layout, values, sizeof(float));
  if (floats.get() == nullptr) return OBJEVAL_COUNT_TOO_LARGE;
  objeval::default_float_state const state;
  return objeval::firewall([&] {
    strided_values(entry, points, count, layout, floats.get(), threads);
    if (floats.get() != values) std::memcpy(values, floats.get(), count * sizeof(float));
    return OBJEVAL_OK;
  });
}

// The values as floats into the first half of `values`' own memory, then
// widened exactly in place from the last down, so that no float is
// overwritten before it is read: no buffer, whatever the count, unless the
// values are written over the points.
objeval_status checked_doubles(size_t problem, double const* points, size_t count, objeval::strided layout,
                               double* values, unsigned threads) {
  objeval_status const status = check_call(problem, points, count, layout, values, sizeof(double));
  if (status != OBJEVAL_OK || count == 0) return status;
  objeval::problem_entry const& entry = objeval::problems[problem];
  value_floats const floats(points, count, entry.info.dimension, layout, values, sizeof(double));
  if (floats.get() == nullptr) return OBJEVAL_COUNT_TOO_LARGE;
  objeval::default_float_state const state;
  return objeval::firewall([&] {
    strided_values(entry, points, count, layout, floats.get(), threads);
    for (std::size_t k = count; k-- > 0;) {
      float value;
      std::memcpy(&value, floats.get() + k, sizeof value);
      double const widened = value;
      std::memcpy(values + k, &widened, sizeof widened);
    }
    return OBJEVAL_OK;
  });
}

}  // namespace

extern "C" {

char const* objeval_version(void) { return OBJEVAL_VERSION_TEXT; }

size_t objeval_problem_count(void) { return objeval::problems.size(); }

objeval_problem const* objeval_problem_at(size_t index) {
  return index < objeval::problems.size() ? &objeval::problems[index].info : nullptr;
}

size_t objeval_problem_find(char const* name) {
  objeval::problem_entry const* const found = objeval::find_problem(name);
  return found != nullptr ? static_cast<size_t>(found - objeval::problems.data()) : OBJEVAL_NO_PROBLEM;
}

objeval_status objeval_evaluate(size_t problem, float const* points, size_t count, float* values, unsigned threads) {
  if (problem >= objeval::problems.size()) return OBJEVAL_NO_SUCH_PROBLEM;
  objeval::problem_entry const& p = objeval::problems[problem];
  if (!fits_in_memory(count, p.info.dimension)) return OBJEVAL_COUNT_TOO_LARGE;
  if (count == 0) return OBJEVAL_OK;
  if (points == nullptr || values == nullptr) return OBJEVAL_NULL_POINTER;
  if (count == 1) {
    values[0] = p.one(points);
    return OBJEVAL_OK;
  }
  value_floats const floats(points, count, p.info.dimension, {p.info.dimension, 1}, values, sizeof(float));
  if (floats.get() == nullptr) return OBJEVAL_COUNT_TOO_LARGE;
  return objeval::firewall([&] {
    p.batch(points, count, floats.get(), threads);
    if (floats.get() != values) std::memcpy(values, floats.get(), count * sizeof(float));
    return OBJEVAL_OK;
  });
}

objeval_status objeval_evaluate_strided(size_t problem, float const* points, size_t count, size_t point_stride,
                                        size_t coordinate_stride, float* values, unsigned threads) {
  return checked_strided(problem, points, count, {point_stride, coordinate_stride}, values, threads);
}

objeval_status objeval_evaluate_double(size_t problem, double const* points, size_t count, size_t point_stride,
                                       size_t coordinate_stride, float* values, unsigned threads) {
  return checked_strided(problem, points, count, {point_stride, coordinate_stride}, values, threads);
}

objeval_status objeval_evaluate_doubles(size_t problem, double const* points, size_t count, size_t point_stride,
                                        size_t coordinate_stride, double* values, unsigned threads) {
  return checked_doubles(problem, points, count, {point_stride, coordinate_stride}, values, threads);
}

char const* objeval_status_message(objeval_status status) {
  switch (status) {
    case OBJEVAL_OK: return "success";
    case OBJEVAL_NULL_POINTER: return "a pointer is NULL";
    case OBJEVAL_COUNT_TOO_LARGE: return "the count is too large for memory";
    case OBJEVAL_NO_SUCH_PROBLEM: return "there is no such problem";
    case OBJEVAL_INTERNAL_ERROR: return "an internal error stopped the call";
    case OBJEVAL_BUDGET_SPENT: return "the run's budget is spent";
    case OBJEVAL_CANNOT_WRITE: return "the study's files cannot be written";
    case OBJEVAL_BAD_ARGUMENT: return "an argument the call cannot take";
  }
  return "unknown status";
}

void objeval_release_threads(void) {
  if (objeval::worker_pool* const pool = objeval::worker_pool::instance()) pool->release_idle();
  objeval::kept_buffers::of_this_thread().release();
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
