// SPDX-License-Identifier: MIT
// The library's values do not depend on the caller's floating-point state:
// under any rounding mode, and with subnormals flushed (as a host built
// with -ffast-math runs), every call gives the default state's bits and
// hands the caller's state back as it found it, flags included.
#include <objeval/objeval.h>

#include "tests/float_bits.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace {

using testing_support::hex;

constexpr std::size_t count = 1024;  // enough for a batch on two threads

// Half the points ordinary, half so small that their sums pass through
// subnormals, where a flushing state gives other bits.
std::vector<float> points_of(std::size_t dimension) {
  testing_support::mixed_values next(static_cast<std::uint32_t>(dimension));
  std::vector<float> points(count * dimension);
  for (std::size_t p = 0; p < count; ++p) {
    float const scale = p % 2 ? std::ldexp(1.0f, -60 - static_cast<int>(p * 7 % 90)) : 1.0f;
    for (std::size_t k = 0; k < dimension; ++k) points[p * dimension + k] = next() * scale;
  }
  return points;
}

// A caller's state: what it sets, and the call that sets it.
struct caller_state {
  char const* name;
  std::function<void()> set;
};

void set_flushing(bool on) {
#if defined(__x86_64__)
  constexpr unsigned flush_to_zero = 0x8000, denormals_are_zero = 0x40;
  unsigned const csr = _mm_getcsr();
  _mm_setcsr(on ? csr | flush_to_zero | denormals_are_zero : csr & ~(flush_to_zero | denormals_are_zero));
#else
  static_cast<void>(on);
#endif
}

std::vector<caller_state> const states = {
    {"rounding upward", [] { std::fesetround(FE_UPWARD); }},
    {"rounding downward", [] { std::fesetround(FE_DOWNWARD); }},
    {"rounding toward zero", [] { std::fesetround(FE_TOWARDZERO); }},
    {"flush-to-zero and denormals-are-zero", [] { set_flushing(true); }},
};

void set_default() {
  std::fesetround(FE_TONEAREST);
  set_flushing(false);
  std::feclearexcept(FE_ALL_EXCEPT);
}

// The whole state as the caller would see it: the control word with its flags.
unsigned long whole_state() {
#if defined(__x86_64__)
  return _mm_getcsr();
#else
  return static_cast<unsigned long>(std::fegetround()) << 8 | static_cast<unsigned>(std::fetestexcept(FE_ALL_EXCEPT));
#endif
}

// One way in, its input made in the default state: run(threads, batch)
// evaluates every point, all at once or a call a point, with no arithmetic
// of the test's own (the state it runs in would change that too); values()
// then reads what it wrote, as floats.
struct prepared {
  std::function<void(unsigned threads, bool batch)> run;
  std::function<std::vector<float>()> values;
};
using call = std::function<objeval_status(std::size_t first, std::size_t n, unsigned threads)>;

void in_calls(unsigned threads, bool batch, call const& evaluate) {
  std::size_t const step = batch ? count : 1;
  for (std::size_t first = 0; first < count; first += step) EXPECT_EQ(evaluate(first, step, threads), OBJEVAL_OK);
}

template <class Out>
prepared prepare(call const& evaluate, std::shared_ptr<std::vector<Out>> const& out) {
  return {[=](unsigned threads, bool batch) { in_calls(threads, batch, evaluate); },
          [=] { return std::vector<float>(out->begin(), out->end()); }};
}

struct path {
  char const* name;
  std::function<prepared(std::size_t problem, std::vector<float> const& points)> prepare;
};

std::vector<path> const paths = {
    {"rows of floats",
     [](std::size_t problem, std::vector<float> const& points) {
       auto in = std::make_shared<std::vector<float>>(points);
       auto out = std::make_shared<std::vector<float>>(count);
       std::size_t const d = in->size() / count;
       return prepare<float>([=](std::size_t first, std::size_t n, unsigned threads) {
         return objeval_evaluate(problem, in->data() + first * d, n, out->data() + first, threads);
       }, out);
     }},
    {"every other float",
     [](std::size_t problem, std::vector<float> const& points) {
       auto in = std::make_shared<std::vector<float>>(2 * points.size());
       for (std::size_t k = 0; k < points.size(); ++k) (*in)[2 * k] = points[k];
       auto out = std::make_shared<std::vector<float>>(count);
       std::size_t const d = points.size() / count;
       return prepare<float>([=](std::size_t first, std::size_t n, unsigned threads) {
         return objeval_evaluate_strided(problem, in->data() + 2 * first * d, n, 2 * d, 2, out->data() + first, threads);
       }, out);
     }},
    {"rows of doubles",
     [](std::size_t problem, std::vector<float> const& points) {
       auto in = std::make_shared<std::vector<double>>(points.begin(), points.end());
       auto out = std::make_shared<std::vector<float>>(count);
       std::size_t const d = points.size() / count;
       return prepare<float>([=](std::size_t first, std::size_t n, unsigned threads) {
         return objeval_evaluate_double(problem, in->data() + first * d, n, d, 1, out->data() + first, threads);
       }, out);
     }},
    {"columns of doubles into doubles",
     [](std::size_t problem, std::vector<float> const& points) {
       std::size_t const d = points.size() / count;
       auto in = std::make_shared<std::vector<double>>(points.size());
       for (std::size_t p = 0; p < count; ++p)
         for (std::size_t k = 0; k < d; ++k) (*in)[k * count + p] = points[p * d + k];
       auto out = std::make_shared<std::vector<double>>(count);
       return prepare<double>([=](std::size_t first, std::size_t n, unsigned threads) {
         return objeval_evaluate_doubles(problem, in->data() + first, n, 1, count, out->data() + first, threads);
       }, out);
     }},
};

// Every problem, path, thread count and call size under each state gives
// the default state's bits, and leaves the state as it was.
TEST(FloatState, EveryCallGivesTheDefaultStatesBitsAndHandsTheStateBack) {
  for (std::size_t problem = 0; problem < objeval_problem_count(); ++problem) {
    char const* const name = objeval_problem_at(problem)->name;
    std::vector<float> const points = points_of(objeval_problem_at(problem)->dimension);
    set_default();
    prepared const reference = paths[0].prepare(problem, points);
    reference.run(1, false);
    std::vector<float> const expected = reference.values();
    for (path const& way : paths)
      for (caller_state const& state : states)
        for (unsigned const threads : {1u, 2u})
          for (bool const batch : {false, true}) {
            set_default();
            prepared const call = way.prepare(problem, points);
            state.set();
            unsigned long const before = whole_state();
            call.run(threads, batch);
            unsigned long const after = whole_state();
            set_default();
            std::vector<float> const got = call.values();
            std::string const where = std::string(name) + ", " + way.name + ", " + state.name + ", " +
                                      std::to_string(threads) + " threads, " + (batch ? "batch" : "a point a call");
            EXPECT_EQ(after, before) << where << ": the caller's state changed";
            std::size_t differ = 0, first = count;
            for (std::size_t p = 0; p < count; ++p)
              if (std::bit_cast<std::uint32_t>(got[p]) != std::bit_cast<std::uint32_t>(expected[p]))
                first = differ++ ? first : p;
            EXPECT_EQ(differ, 0u) << where << ": first at point " << first << ", got "
                                  << (first < count ? hex(got[first]) : "") << ", want "
                                  << (first < count ? hex(expected[first]) : "");
          }
  }
}

// Helper threads first started by a caller that flushes subnormals work in
// the default state all the same: two threads give one thread's bits after.
TEST(FloatState, HelpersStartedUnderFlushToZeroKeepTheDefaultState) {
  objeval_release_threads();
  for (std::size_t problem = 0; problem < objeval_problem_count(); ++problem) {
    std::vector<float> const points = points_of(objeval_problem_at(problem)->dimension);
    std::vector<float> values(count), alone(count);
    set_default();
    set_flushing(true);
    ASSERT_EQ(objeval_evaluate(problem, points.data(), count, values.data(), 2), OBJEVAL_OK);
    set_default();
    ASSERT_EQ(objeval_evaluate(problem, points.data(), count, values.data(), 2), OBJEVAL_OK);
    ASSERT_EQ(objeval_evaluate(problem, points.data(), count, alone.data(), 1), OBJEVAL_OK);
    for (std::size_t p = 0; p < count; ++p)
      ASSERT_TRUE(testing_support::same_bits(values[p], alone[p])) << objeval_problem_at(problem)->name << " point " << p;
  }
}

}  // namespace
