// SPDX-License-Identifier: MIT
// The C interface's studies: a folder and an algorithm, runs through which
// points are evaluated, counted and logged (study/).
#include "frame/float_state.hpp"
#include "study/check.hpp"
#include "study/run_log.hpp"

#include <objeval/objeval.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <utility>

struct objeval_study {
  std::shared_ptr<objeval::study::study_settings const> settings;
};

struct objeval_run {
  std::size_t problem;
  mutable std::mutex in_use;  // a run is one caller's; this keeps two from tearing it apart
  std::unique_ptr<objeval::study::run_log> log;
};

namespace {

thread_local std::string last_error;

objeval_status said(objeval_status status, std::string message) {
  last_error = std::move(message);
  return status;
}

// A status from a call that says nothing more: its words, in the words' place.
objeval_status said(objeval_status status) {
  return status == OBJEVAL_OK ? status : said(status, objeval_status_message(status));
}

// Runs a study call: a failure becomes its status, with its words kept.
template <class Call>
objeval_status guarded(Call const& call) noexcept {
  try {
    return call();
  } catch (objeval::study::failure const& f) {
    last_error = f.message;
    return static_cast<objeval_status>(f.status);
  } catch (std::bad_alloc const&) {
    return said(OBJEVAL_INTERNAL_ERROR, "out of memory");
  } catch (...) {
    return said(OBJEVAL_INTERNAL_ERROR, "an internal error stopped the call");
  }
}

// Point p's floats of a layout, each double rounded once to float.
template <class T>
struct layout_point {
  T const* points;
  std::size_t point_stride, coordinate_stride, dimension;
  void operator()(std::size_t p, float* out) const {
    for (std::size_t k = 0; k < dimension; ++k) out[k] = static_cast<float>(points[p * point_stride + k * coordinate_stride]);
  }
};

// Evaluates what the budget allows of `count` points through `evaluate`,
// then counts and logs them.
template <class T, class Out, class Evaluate>
objeval_status run_evaluate(objeval_run* run, T const* points, size_t count, size_t point_stride,
                            size_t coordinate_stride, Out* values, size_t* evaluated, Evaluate const& evaluate) {
  if (evaluated != nullptr) *evaluated = 0;
  if (run == nullptr) return said(OBJEVAL_NULL_POINTER, "the run is NULL");
  std::lock_guard const lock(run->in_use);
  objeval::default_float_state const state;  // the points logged are those evaluated, written alike
  objeval::study::run_log& log = *run->log;
  std::size_t const n = log.allowed(count);
  objeval_status const status = evaluate(n);
  if (status != OBJEVAL_OK) return said(status);
  return guarded([&] {
    layout_point<T> const point{points, point_stride, coordinate_stride, log.dimension()};
    if constexpr (std::is_same_v<Out, float>) {
      log.record(n, values, point);
    } else {
      float narrowed[256];
      for (std::size_t first = 0; first < n; first += std::size(narrowed)) {
        std::size_t const size = std::min(std::size(narrowed), n - first);
        for (std::size_t p = 0; p < size; ++p) narrowed[p] = static_cast<float>(values[first + p]);
        log.record(size, narrowed, [&](std::size_t p, float* out) { point(first + p, out); });
      }
    }
    if (evaluated != nullptr) *evaluated = n;
    log.flush_full();
    if (n < count)
      return said(OBJEVAL_BUDGET_SPENT, "the run's budget is spent: " + std::to_string(n) + " of " +
                                            std::to_string(count) + " points evaluated, " +
                                            std::to_string(log.evaluations()) + " evaluations in all");
    return OBJEVAL_OK;
  });
}

// Ends a run one way or another, once no call is using it, and frees it
// whatever the status.
template <class End>
objeval_status end_run(objeval_run* run, End const& end) {
  if (run == nullptr) return said(OBJEVAL_NULL_POINTER, "the run is NULL");
  std::unique_ptr<objeval_run> const ending(run);
  std::lock_guard const after_its_callers(run->in_use);  // released before the run is freed
  objeval::default_float_state const state;
  return guarded([&] {
    end(*ending->log);
    return OBJEVAL_OK;
  });
}

}  // namespace

extern "C" {

objeval_status objeval_study_open(char const* folder, char const* algorithm, char const* info, unsigned options,
                                  objeval_study** study) {
  if (study == nullptr || folder == nullptr || algorithm == nullptr)
    return said(OBJEVAL_NULL_POINTER, "the folder, the algorithm or the study is NULL");
  *study = nullptr;
  return guarded([&] {
    auto settings = objeval::study::open_study(folder, algorithm, info != nullptr ? info : "", options);
    *study = new objeval_study{std::move(settings)};
    return OBJEVAL_OK;
  });
}

void objeval_study_close(objeval_study* study) { delete study; }

objeval_status objeval_run_start(objeval_study* study, size_t problem, unsigned long long budget,
                                 char const* attributes, objeval_run** run) {
  if (study == nullptr || run == nullptr) return said(OBJEVAL_NULL_POINTER, "the study or the run is NULL");
  *run = nullptr;
  if (problem >= objeval_problem_count()) return said(OBJEVAL_NO_SUCH_PROBLEM, "there is no such problem");
  return guarded([&] {
    auto pairs = objeval::study::parse_attributes(attributes != nullptr ? attributes : "");
    objeval::study::problem_files files(study->settings->folder, objeval::problems[problem]);
    auto log = std::make_unique<objeval::study::run_log>(study->settings, std::move(files), budget, std::move(pairs));
    *run = new objeval_run{problem, {}, std::move(log)};
    return OBJEVAL_OK;
  });
}

objeval_status objeval_run_evaluate(objeval_run* run, float const* points, size_t count, float* values,
                                    unsigned threads, size_t* evaluated) {
  std::size_t const d = run != nullptr ? run->log->dimension() : 0;
  return run_evaluate(run, points, count, d, 1, values, evaluated, [&](std::size_t n) {
    return objeval_evaluate(run->problem, points, n, values, threads);
  });
}

objeval_status objeval_run_evaluate_strided(objeval_run* run, float const* points, size_t count, size_t point_stride,
                                            size_t coordinate_stride, float* values, unsigned threads,
                                            size_t* evaluated) {
  return run_evaluate(run, points, count, point_stride, coordinate_stride, values, evaluated, [&](std::size_t n) {
    return objeval_evaluate_strided(run->problem, points, n, point_stride, coordinate_stride, values, threads);
  });
}

objeval_status objeval_run_evaluate_double(objeval_run* run, double const* points, size_t count, size_t point_stride,
                                           size_t coordinate_stride, float* values, unsigned threads,
                                           size_t* evaluated) {
  return run_evaluate(run, points, count, point_stride, coordinate_stride, values, evaluated, [&](std::size_t n) {
    return objeval_evaluate_double(run->problem, points, n, point_stride, coordinate_stride, values, threads);
  });
}

objeval_status objeval_run_evaluate_doubles(objeval_run* run, double const* points, size_t count,
                                            size_t point_stride, size_t coordinate_stride, double* values,
                                            unsigned threads, size_t* evaluated) {
  return run_evaluate(run, points, count, point_stride, coordinate_stride, values, evaluated, [&](std::size_t n) {
    return objeval_evaluate_doubles(run->problem, points, n, point_stride, coordinate_stride, values, threads);
  });
}

unsigned long long objeval_run_evaluations(objeval_run const* run) {
  if (run == nullptr) return 0;
  std::lock_guard const lock(run->in_use);
  return run->log->evaluations();
}

float objeval_run_best(objeval_run const* run, float* point) {
  if (run == nullptr) return __builtin_nanf("");
  std::lock_guard const lock(run->in_use);
  if (point != nullptr)
    for (std::size_t k = 0; k < run->log->dimension(); ++k) point[k] = run->log->best_point()[k];
  return run->log->best();
}

objeval_status objeval_run_end(objeval_run* run) {
  return end_run(run, [](objeval::study::run_log& log) { log.end(); });
}

objeval_status objeval_run_fail(objeval_run* run, char const* reason) {
  return end_run(run, [reason](objeval::study::run_log& log) {
    log.end(objeval::study::ending::by_exception, reason != nullptr ? reason : "");
  });
}

objeval_status objeval_run_discard(objeval_run* run) {
  return end_run(run, [](objeval::study::run_log& log) { log.discard(); });
}

objeval_status objeval_study_check(char const* folder, objeval_check_line* each, void* context, size_t* faults) {
  if (faults != nullptr) *faults = 0;
  if (folder == nullptr) return said(OBJEVAL_NULL_POINTER, "the folder is NULL");
  objeval::default_float_state const state;
  return guarded([&] {
    objeval::study::check_summary const summary = objeval::study::check_study(folder, [&](std::string const& line) {
      if (each != nullptr) each(line.c_str(), context);
    });
    if (faults != nullptr) *faults = summary.faults;
    return OBJEVAL_OK;
  });
}

char const* objeval_last_error(void) { return last_error.c_str(); }

}
