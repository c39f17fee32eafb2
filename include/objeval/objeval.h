/* SPDX-License-Identifier: MIT */
/* C interface to the evaluators, for callers in any language that can load a
 * shared library. Every function is bit for bit the program's evaluation.
 *
 * Threads: a thread count of 0 means one per CPU this process may use (its
 * affinity mask, and a cgroup CPU quota where one is set); any larger count
 * is lowered to that number. The results never depend on the count.
 *
 * What a host (a JVM, MATLAB, R, Python) needs to know:
 * - Every function is reentrant: call any of them from any thread, from
 *   several at once. A call reads its points and writes its values, nothing
 *   else that is the caller's.
 * - A batch on more than one thread runs on helper threads that the library
 *   starts at the first such batch and keeps, asleep between calls, for the
 *   life of the process: one per CPU at most, every signal blocked, each
 *   bound to one CPU (those after the caller's, in turn). Set the
 *   environment variable OBJEVAL_PIN_THREADS=0 before the first batch to
 *   leave them unbound; objeval_release_threads() ends them.
 * - Each thread that runs a batch, the host's own and the helpers, keeps its
 *   buffers for the next one (up to about 1.1 MB a thread): the host's
 *   threads until they end, or until each calls objeval_release_threads(),
 *   which frees the calling thread's.
 * - fork: a child forked while the helpers exist does not use them (they do
 *   not exist in it); its batches start and end threads of their own.
 * - The library is never unloaded (dlclose keeps it: its helpers wait in it).
 * - Nothing thrown inside the library reaches the caller: a checked call
 *   returns OBJEVAL_INTERNAL_ERROR instead.
 * - The caller's floating-point state (rounding mode, flush-to-zero,
 *   exception masks) changes no value: each call computes in the default
 *   state and hands the caller's back, exception flags included. */
#ifndef OBJEVAL_H
#define OBJEVAL_H

#include <stddef.h>

#include <objeval/problem.h> /* objeval_problem */
#include <objeval/version.h> /* OBJEVAL_VERSION_MAJOR, _MINOR, _PATCH; OBJEVAL_ABI_VERSION */

#if defined(OBJEVAL_BUILDING_C_API)
#define OBJEVAL_API __attribute__((visibility("default")))
#else
#define OBJEVAL_API
#endif

/* Define OBJEVAL_DEPRECATED(replacement) as nothing to silence the warnings. */
#ifndef OBJEVAL_DEPRECATED
#if defined(__GNUC__) || defined(__clang__)
#define OBJEVAL_DEPRECATED(replacement) __attribute__((deprecated("use " replacement)))
#else
#define OBJEVAL_DEPRECATED(replacement)
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The library's version, as "MAJOR.MINOR.PATCH": that of the library loaded,
 * which may differ from the OBJEVAL_VERSION_* this header was built with. */
OBJEVAL_API const char* objeval_version(void);

/* The problems, in a table: index 0 is doorcost, 1 is quadobj; each an
 * objeval_problem (<objeval/problem.h>). */

/* The problems' indices and dimensions, for C callers that name them; a
 * binding finds them by name in the table instead. */
enum { OBJEVAL_DOORCOST = 0, OBJEVAL_QUADOBJ = 1 };
enum { OBJEVAL_DOORCOST_DIMENSION = 240, OBJEVAL_QUADOBJ_DIMENSION = 50 };
enum {
  OBJEVAL_DOORCOST_VALUES OBJEVAL_DEPRECATED("OBJEVAL_DOORCOST_DIMENSION") = 240,
  OBJEVAL_QUADOBJ_VALUES OBJEVAL_DEPRECATED("OBJEVAL_QUADOBJ_DIMENSION") = 50
};

/* How many problems the table holds. */
OBJEVAL_API size_t objeval_problem_count(void);
/* Problem `index`, or NULL past the last. */
OBJEVAL_API const objeval_problem* objeval_problem_at(size_t index);
/* The index of the problem named `name` ("quadobj"), or OBJEVAL_NO_PROBLEM
 * if there is none (name NULL included). Handed on to a checked call,
 * OBJEVAL_NO_PROBLEM gives OBJEVAL_NO_SUCH_PROBLEM. */
OBJEVAL_API size_t objeval_problem_find(const char* name);
#define OBJEVAL_NO_PROBLEM ((size_t)-1)

/* What a checked call returns. In C++ its type is int's, so that any int a
 * caller hands back (objeval_status_message) is a value of it. */
#ifdef __cplusplus
typedef enum objeval_status : int {
#else
typedef enum objeval_status {
#endif
  OBJEVAL_OK = 0,
  OBJEVAL_NULL_POINTER = 1,    /* points or values is NULL, and count is not 0 */
  OBJEVAL_COUNT_TOO_LARGE = 2, /* count points (at these strides) cannot fit in memory: nothing was touched */
  OBJEVAL_NO_SUCH_PROBLEM = 3, /* problem is not below objeval_problem_count() */
  OBJEVAL_INTERNAL_ERROR = 4,  /* the library failed inside (it threw): values may be partly written */
  OBJEVAL_BUDGET_SPENT = 5,    /* a run's budget is spent: only the points within it were evaluated */
  OBJEVAL_CANNOT_WRITE = 6,    /* a study's files cannot be written: objeval_last_error() says which and why */
  OBJEVAL_BAD_ARGUMENT = 7     /* an argument the call cannot take: objeval_last_error() says which */
} objeval_status;

/* Evaluates `count` points of problem `problem`: points holds count *
 * dimension floats, one point after the other; values receives count floats.
 * Returns OBJEVAL_OK; or a status above: each but OBJEVAL_INTERNAL_ERROR is
 * found before anything is written, and OBJEVAL_INTERNAL_ERROR may leave
 * some values written and others not. The values may be written over the
 * points (the same memory): the batch is then evaluated into a buffer first,
 * and OBJEVAL_COUNT_TOO_LARGE returned without memory for one. */
OBJEVAL_API objeval_status objeval_evaluate(size_t problem, const float* points, size_t count, float* values,
                                            unsigned threads);
/* The same for points laid out in any order, in float or double: value k
 * of point p is points[p * point_stride + k * coordinate_stride]. Rows of a
 * row-major array (C, NumPy, Java): point_stride = dimension,
 * coordinate_stride = 1. Rows of a column-major count-by-dimension matrix
 * (MATLAB, Octave, R, Fortran's x(n, d)): point_stride = 1,
 * coordinate_stride = count. Each double is
 * rounded once, to the nearest float (ties to even). Converted a share at a
 * time on the batch's threads; the values are those of objeval_evaluate. */
OBJEVAL_API objeval_status objeval_evaluate_strided(size_t problem, const float* points, size_t count,
                                                    size_t point_stride, size_t coordinate_stride, float* values,
                                                    unsigned threads);
OBJEVAL_API objeval_status objeval_evaluate_double(size_t problem, const double* points, size_t count,
                                                   size_t point_stride, size_t coordinate_stride, float* values,
                                                   unsigned threads);
/* The same as objeval_evaluate_double, the values written as doubles, each
 * the program's float widened exactly: for callers whose results are
 * doubles (R, MATLAB, Java's double[], Fortran's real64). */
OBJEVAL_API objeval_status objeval_evaluate_doubles(size_t problem, const double* points, size_t count,
                                                    size_t point_stride, size_t coordinate_stride, double* values,
                                                    unsigned threads);
/* A status in words: "the count is too large", ...; never NULL. */
OBJEVAL_API const char* objeval_status_message(objeval_status status);

/* Ends the helper threads kept between batches (see above) that no call is
 * using now, and frees the buffers the calling thread keeps; a later batch
 * starts and makes them again. */
OBJEVAL_API void objeval_release_threads(void);

/* Studies: runs of an algorithm on the problems, every evaluation counted in
 * order, each run on a budget where asked, and its best-so-far values
 * logged in the format IOHanalyzer reads (IOHprofiler's, JSON meta files).
 * A study is a folder; each algorithm writes into a folder of its own in it,
 * and each run into a file of its own, so that threads and processes may
 * write one study at once. A run is in the study once it has ended: a
 * process killed in a run leaves every run it ended. The problems are
 * minimised. Each value and coordinate is written so that it reads back to
 * the same float ("%.9g").
 *
 *   objeval_study* study;
 *   objeval_study_open("results", "random search", "sigma = 0.1", 0, &study);
 *   objeval_run* run;
 *   objeval_run_start(study, objeval_problem_find("quadobj"), 1000, "seed=7", &run);
 *   objeval_run_evaluate(run, points, count, values, 0, &evaluated);  ... as often as it takes
 *   objeval_run_end(run);
 *   objeval_study_close(study);
 *
 * A run is used by one thread at a time; runs of one study, on any thread,
 * are independent of each other. */
typedef struct objeval_study objeval_study;
typedef struct objeval_run objeval_run;

/* A study's options: what it logs besides each improvement's evaluation and
 * value, and how it writes. */
enum {
  OBJEVAL_LOG_EVERY_EVALUATION = 1, /* a row for every evaluation, not only the improvements */
  OBJEVAL_LOG_POINTS = 2,           /* each row with its point's coordinates */
  OBJEVAL_DURABLE = 4,              /* a run counts as ended once its files are on the disk (fsync) */
  OBJEVAL_ADD_RUNS = 8              /* the algorithm's folder may hold runs already: add to them, saying nothing */
};

/* Opens the study in `folder` (made if missing, its parent must exist) for
 * `algorithm`, described by `info` (its settings; may be NULL), both UTF-8
 * text: writes into a folder of the algorithm's own, its name with
 * characters other than letters, digits, '.', '-' and '_' as '_' and, where
 * that changed it or it holds a capital, a short hash of the exact name.
 * OBJEVAL_CANNOT_WRITE where the folder cannot be made or written;
 * OBJEVAL_BAD_ARGUMENT where the algorithm's runs there log other rows or
 * points than `options` ask. Where the algorithm's folder holds ended runs
 * already, one line on standard error says so, unless OBJEVAL_ADD_RUNS. */
OBJEVAL_API objeval_status objeval_study_open(const char* folder, const char* algorithm, const char* info,
                                              unsigned options, objeval_study** study);
/* Closes the study; its runs not yet ended stay usable until they end. */
OBJEVAL_API void objeval_study_close(objeval_study* study);

/* Starts a run of `problem`: at most `budget` evaluations (0: no budget),
 * with `attributes` ("seed=7;restart=2", names of letters, digits and '_',
 * values of UTF-8 text; may be NULL) recorded with it. Its meta file adds
 * the library's own: objeval_version, cpu, host, started and ended (UTC),
 * seconds, and ending ("budget spent", "ended by the caller", "ended by an
 * exception" with its failure, "ended by a signal"). */
OBJEVAL_API objeval_status objeval_run_start(objeval_study* study, size_t problem, unsigned long long budget,
                                             const char* attributes, objeval_run** run);
/* objeval_evaluate and its likes through a run: each point one evaluation,
 * in order. A batch that crosses the budget evaluates the points within it
 * and returns OBJEVAL_BUDGET_SPENT; `evaluated` (may be NULL) receives how
 * many were. OBJEVAL_CANNOT_WRITE: the values were evaluated and counted,
 * but the rows could not be written. */
OBJEVAL_API objeval_status objeval_run_evaluate(objeval_run* run, const float* points, size_t count, float* values,
                                                unsigned threads, size_t* evaluated);
OBJEVAL_API objeval_status objeval_run_evaluate_strided(objeval_run* run, const float* points, size_t count,
                                                        size_t point_stride, size_t coordinate_stride, float* values,
                                                        unsigned threads, size_t* evaluated);
OBJEVAL_API objeval_status objeval_run_evaluate_double(objeval_run* run, const double* points, size_t count,
                                                       size_t point_stride, size_t coordinate_stride, float* values,
                                                       unsigned threads, size_t* evaluated);
OBJEVAL_API objeval_status objeval_run_evaluate_doubles(objeval_run* run, const double* points, size_t count,
                                                        size_t point_stride, size_t coordinate_stride,
                                                        double* values, unsigned threads, size_t* evaluated);
/* The evaluations the run has made. */
OBJEVAL_API unsigned long long objeval_run_evaluations(const objeval_run* run);
/* The run's best-so-far value (infinity before any), its point into
 * `point` (dimension floats; may be NULL). */
OBJEVAL_API float objeval_run_best(const objeval_run* run, float* point);
/* Ends the run and adds it to the study; frees it whatever the status. A
 * run is ended once, after every call on it has returned. */
OBJEVAL_API objeval_status objeval_run_end(objeval_run* run);
/* Ends the run as failed, `reason` (may be NULL) saying why: its rows and
 * its meta file are kept, the meta file named .failed, where IOHanalyzer
 * does not read it. Frees it whatever the status. */
OBJEVAL_API objeval_status objeval_run_fail(objeval_run* run, const char* reason);
/* Ends the run leaving nothing of it in the study (its data file is
 * removed): a run interrupted, to be made again. Frees it. */
OBJEVAL_API objeval_status objeval_run_discard(objeval_run* run);

/* Checks the study in `folder` as IOHanalyzer would read it: each meta and
 * data file, each logged point evaluated again and its value compared bit
 * for bit, runs begun and never ended, instances and seeds repeated, runs
 * unequal in number between algorithms and problems. `each` (may be NULL)
 * gets a line of UTF-8 text for each fault, "FILE: what is wrong", then one
 * line of summary; `faults` (may be NULL) how many there were: 0 for a
 * sound study. OBJEVAL_BAD_ARGUMENT where there is no such folder. */
typedef void objeval_check_line(const char* line, void* context);
OBJEVAL_API objeval_status objeval_study_check(const char* folder, objeval_check_line* each, void* context,
                                               size_t* faults);

/* What the last study call on this thread that failed said, in words
 * (for a run's evaluations, whatever status they returned); "" if none. */
OBJEVAL_API const char* objeval_last_error(void);

/* The first interface, kept working but deprecated: a NULL point gives NaN,
 * and a batch with a NULL pointer or a count too large for memory does
 * nothing, with no status to say so. */

/* values: 240 floats, laid out as in doorcost's input.txt. */
OBJEVAL_API float objeval_doorcost(const float* values)
    OBJEVAL_DEPRECATED("objeval_evaluate(OBJEVAL_DOORCOST, values, 1, &cost, 1)");
/* points: count * 240 floats, one point after the other; costs: count floats. */
OBJEVAL_API void objeval_doorcost_batch(const float* points, size_t count, float* costs)
    OBJEVAL_DEPRECATED("objeval_evaluate(OBJEVAL_DOORCOST, points, count, costs, 1)");
/* The same on `threads` threads, with the same results. */
OBJEVAL_API void objeval_doorcost_batch_threads(const float* points, size_t count, float* costs, unsigned threads)
    OBJEVAL_DEPRECATED("objeval_evaluate(OBJEVAL_DOORCOST, points, count, costs, threads)");

/* values: 50 floats, x[0] to x[49]. */
OBJEVAL_API float objeval_quadobj(const float* values)
    OBJEVAL_DEPRECATED("objeval_evaluate(OBJEVAL_QUADOBJ, values, 1, &value, 1)");
/* points: count * 50 floats, one point after the other; results: count floats. */
OBJEVAL_API void objeval_quadobj_batch(const float* points, size_t count, float* results)
    OBJEVAL_DEPRECATED("objeval_evaluate(OBJEVAL_QUADOBJ, points, count, results, 1)");
/* The same on `threads` threads, with the same results. */
OBJEVAL_API void objeval_quadobj_batch_threads(const float* points, size_t count, float* results, unsigned threads)
    OBJEVAL_DEPRECATED("objeval_evaluate(OBJEVAL_QUADOBJ, points, count, results, threads)");

#ifdef __cplusplus
}
#endif

#endif
