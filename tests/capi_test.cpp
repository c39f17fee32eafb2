// SPDX-License-Identifier: MIT
// The checked C interface: every bad call is refused with a status and
// touches nothing; the table describes the problems that every binding
// builds on.
#define OBJEVAL_DEPRECATED(replacement)  // the first interface is tested on purpose
#include <objeval/doorcost.hpp>
#include <objeval/objeval.h>
#include <objeval/quadobj.hpp>

#include "capi/firewall.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <sched.h>

namespace {

constexpr float untouched = -12345.0f;

// Every problem of the table is named, found by its name and described in
// one line; the C names of the two programs' problems are held to it.
TEST(CApi, TableNamesEachProblemWithItsDimension) {
  std::size_t const count = objeval_problem_count();
  ASSERT_GE(count, 2u);
  for (std::size_t index = 0; index < count; ++index) {
    objeval_problem const* p = objeval_problem_at(index);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(objeval_problem_find(p->name), index) << p->name;
    EXPECT_GT(p->dimension, 0u) << p->name;
    EXPECT_EQ(std::string(p->description).find('\n'), std::string::npos) << p->name;  // one line
  }
  EXPECT_STREQ(objeval_problem_at(OBJEVAL_DOORCOST)->name, "doorcost");
  EXPECT_EQ(objeval_problem_at(OBJEVAL_DOORCOST)->dimension, std::size_t{OBJEVAL_DOORCOST_DIMENSION});
  EXPECT_EQ(objeval::doorcost::dimension, std::size_t{OBJEVAL_DOORCOST_DIMENSION});
  EXPECT_STREQ(objeval_problem_at(OBJEVAL_QUADOBJ)->name, "quadobj");
  EXPECT_EQ(objeval_problem_at(OBJEVAL_QUADOBJ)->dimension, std::size_t{OBJEVAL_QUADOBJ_DIMENSION});
  EXPECT_EQ(objeval::quadobj::dimension, std::size_t{OBJEVAL_QUADOBJ_DIMENSION});
  EXPECT_NE(std::string(objeval_problem_at(OBJEVAL_DOORCOST)->description).find("door"), std::string::npos);
  EXPECT_EQ(objeval_problem_at(count), nullptr);
  EXPECT_EQ(objeval_problem_at(SIZE_MAX), nullptr);
  EXPECT_STREQ(objeval_version(), OBJEVAL_EXPECTED_VERSION);
  EXPECT_EQ(std::to_string(OBJEVAL_VERSION_MAJOR) + "." + std::to_string(OBJEVAL_VERSION_MINOR) + "." +
                std::to_string(OBJEVAL_VERSION_PATCH),
            OBJEVAL_EXPECTED_VERSION);
}

TEST(CApi, ProblemsAreFoundByTheirExactName) {
  EXPECT_EQ(objeval_problem_find("doorcost"), std::size_t{OBJEVAL_DOORCOST});
  EXPECT_EQ(objeval_problem_find("quadobj"), std::size_t{OBJEVAL_QUADOBJ});
  for (char const* name : {"QUADOBJ", "quadobj ", "", "doorcos", static_cast<char const*>(nullptr)})
    EXPECT_EQ(objeval_problem_find(name), OBJEVAL_NO_PROBLEM) << (name ? name : "NULL");
  float point[240] = {}, value = 0.0f;
  EXPECT_EQ(objeval_evaluate(objeval_problem_find("nosuch"), point, 1, &value, 1), OBJEVAL_NO_SUCH_PROBLEM);
}

// An exception that crossed an extern "C" function would end the host.
TEST(CApi, WhatIsThrownInsideBecomesAStatus) {
  EXPECT_EQ(objeval::firewall([]() -> objeval_status { throw std::runtime_error("inside"); }), OBJEVAL_INTERNAL_ERROR);
  EXPECT_EQ(objeval::firewall([]() -> objeval_status { throw 1; }), OBJEVAL_INTERNAL_ERROR);
  EXPECT_EQ(objeval::firewall([] { return OBJEVAL_OK; }), OBJEVAL_OK);
}

TEST(CApi, EvaluateGivesTheOnePointBitsForAnyCount) {
  std::vector<float> points(3 * 240, 1.0f), values(3, untouched);
  ASSERT_EQ(objeval_evaluate(OBJEVAL_DOORCOST, points.data(), 3, values.data(), 0), OBJEVAL_OK);
  for (float const v : values) EXPECT_EQ(v, 1147840.0f);
  float one = untouched;
  std::vector<float> x(50, 0.0f);
  x[0] = 1.0f;
  ASSERT_EQ(objeval_evaluate(OBJEVAL_QUADOBJ, x.data(), 1, &one, 1), OBJEVAL_OK);
  EXPECT_EQ(one, objeval_quadobj(x.data()));
  EXPECT_EQ(one, 21.31597754f);
  EXPECT_EQ(objeval_evaluate(OBJEVAL_QUADOBJ, nullptr, 0, nullptr, 1), OBJEVAL_OK);  // nothing to do
}

// count * dimension wrapped around once, passed the size check, and the
// caller died of SIGSEGV.
TEST(CApi, EveryBadCallIsAStatusAndTouchesNothing) {
  std::vector<float> points(240, 1.0f);
  float value = untouched;
  for (std::size_t const count : {SIZE_MAX, SIZE_MAX / 240 + 1, SIZE_MAX / 4 + 1, std::size_t{1} << 62}) {
    EXPECT_EQ(objeval_evaluate(OBJEVAL_DOORCOST, points.data(), count, &value, 1), OBJEVAL_COUNT_TOO_LARGE) << count;
    objeval_doorcost_batch(points.data(), count, &value);
    objeval_quadobj_batch_threads(points.data(), count, &value, 2);
  }
  EXPECT_EQ(objeval_evaluate(OBJEVAL_DOORCOST, nullptr, 1, &value, 1), OBJEVAL_NULL_POINTER);
  EXPECT_EQ(objeval_evaluate(OBJEVAL_DOORCOST, points.data(), 1, nullptr, 1), OBJEVAL_NULL_POINTER);
  EXPECT_EQ(objeval_evaluate(objeval_problem_count(), points.data(), 1, &value, 1), OBJEVAL_NO_SUCH_PROBLEM);
  EXPECT_EQ(objeval_evaluate(SIZE_MAX, points.data(), 1, &value, 1), OBJEVAL_NO_SUCH_PROBLEM);
  objeval_doorcost_batch(nullptr, 1, &value);
  objeval_quadobj_batch(points.data(), 1, nullptr);
  EXPECT_EQ(value, untouched);
  EXPECT_TRUE(std::isnan(objeval_doorcost(nullptr)));
  EXPECT_TRUE(std::isnan(objeval_quadobj(nullptr)));

  std::set<std::string> messages;
  for (int const status : std::initializer_list<int>{OBJEVAL_OK, OBJEVAL_NULL_POINTER, OBJEVAL_COUNT_TOO_LARGE,
                                                    OBJEVAL_NO_SUCH_PROBLEM, OBJEVAL_INTERNAL_ERROR, 99, -1})
    messages.insert(objeval_status_message(static_cast<objeval_status>(status)));
  EXPECT_EQ(messages.size(), 6u);  // each status its own words; unknown ones share theirs
}

// MATLAB and R hand over a column-major matrix of doubles, a point per row:
// each double is rounded once to float, and the values are the bits of the
// row-major float call, on any thread count and at any size, read down the
// columns or, where the columns lie 64 KiB apart, gathered. 1,200 points are
// enough for a batch to split between two threads.
TEST(CApi, StridedAndDoublePointsGiveTheFloatBits) {
  for (std::size_t problem = 0; problem < objeval_problem_count(); ++problem) {
    std::size_t const d = objeval_problem_at(problem)->dimension;
    for (std::size_t const n : {std::size_t{1}, std::size_t{3}, std::size_t{300}, std::size_t{1200}}) {
      for (std::size_t const stride : {n, std::size_t{8192}}) {
        std::vector<double> columns(stride * d);
        std::vector<float> rows(n * d);
        std::uint64_t state = 88172645463325252ull;
        for (std::size_t p = 0; p < n; ++p)
          for (std::size_t k = 0; k < d; ++k) {
            state ^= state << 13, state ^= state >> 7, state ^= state << 17;
            // A double next to a float midpoint half the time: rounded twice, it would go astray.
            double const v = static_cast<double>(static_cast<std::int64_t>(state >> 40) - (1 << 23)) / 4096.0 +
                             (state & 1 ? 0x1p-40 : 0.0);
            columns[k * stride + p] = v;
            rows[p * d + k] = static_cast<float>(v);
          }
        std::vector<float> expected(n), got(n, untouched), from_floats(n, untouched);
        ASSERT_EQ(objeval_evaluate(problem, rows.data(), n, expected.data(), 1), OBJEVAL_OK);
        for (unsigned const threads : {1u, 2u, 0u}) {
          ASSERT_EQ(objeval_evaluate_double(problem, columns.data(), n, 1, stride, got.data(), threads), OBJEVAL_OK);
          EXPECT_EQ(std::memcmp(got.data(), expected.data(), n * sizeof(float)), 0) << d << " " << n << " " << stride;
        }
        // The float rows read as a strided layout too.
        ASSERT_EQ(objeval_evaluate_strided(problem, rows.data(), n, d, 1, from_floats.data(), 2), OBJEVAL_OK);
        EXPECT_EQ(std::memcmp(from_floats.data(), expected.data(), n * sizeof(float)), 0);
      }
    }
  }
  float value = untouched;
  std::vector<double> point(240, 1.0);
  EXPECT_EQ(objeval_evaluate_double(OBJEVAL_DOORCOST, point.data(), SIZE_MAX / 2, 1, SIZE_MAX / 2, &value, 1),
            OBJEVAL_COUNT_TOO_LARGE);
  EXPECT_EQ(objeval_evaluate_double(OBJEVAL_DOORCOST, point.data(), 2, SIZE_MAX, 1, &value, 1), OBJEVAL_COUNT_TOO_LARGE);
  EXPECT_EQ(objeval_evaluate_double(OBJEVAL_DOORCOST, nullptr, 1, 240, 1, &value, 1), OBJEVAL_NULL_POINTER);
  EXPECT_EQ(objeval_evaluate_strided(objeval_problem_count(), nullptr, 1, 240, 1, &value, 1), OBJEVAL_NO_SUCH_PROBLEM);
  EXPECT_EQ(value, untouched);
  ASSERT_EQ(objeval_evaluate_double(OBJEVAL_DOORCOST, point.data(), 1, 240, 1, &value, 1), OBJEVAL_OK);
  EXPECT_EQ(value, 1147840.0f);
}

// Every layout a caller's natural array has, read straight from doubles
// (and floats): the bits of the float batch on the rounded rows, on one
// thread and two, into floats and into doubles widened exactly.
TEST(CApi, EveryLayoutGivesTheFloatBatchBits) {
  struct layout {
    char const* name;
    std::size_t count;
    std::size_t (*point_stride)(std::size_t n, std::size_t d);
    std::size_t (*coordinate_stride)(std::size_t n, std::size_t d);
  };
  layout const layouts[] = {
      {"rows (C order)", 1000, [](std::size_t, std::size_t d) { return d; }, [](std::size_t, std::size_t) { return std::size_t{1}; }},
      {"rows of a wider array", 1000, [](std::size_t, std::size_t d) { return d + 7; }, [](std::size_t, std::size_t) { return std::size_t{1}; }},
      {"columns (Fortran order)", 1000, [](std::size_t, std::size_t) { return std::size_t{1}; }, [](std::size_t n, std::size_t) { return n; }},
      {"columns 64 KiB apart", 65536, [](std::size_t, std::size_t) { return std::size_t{1}; }, [](std::size_t n, std::size_t) { return n; }},
      {"every other value", 1000, [](std::size_t, std::size_t d) { return 2 * d; }, [](std::size_t, std::size_t) { return std::size_t{2}; }},
  };
  for (std::size_t problem = 0; problem < objeval_problem_count(); ++problem) {
    std::size_t const d = objeval_problem_at(problem)->dimension;
    for (layout const& l : layouts) {
      std::size_t const n = l.count, ps = l.point_stride(n, d), vs = l.coordinate_stride(n, d);
      std::vector<double> doubles((n - 1) * ps + (d - 1) * vs + 1, 1e30);
      std::vector<float> rows(n * d), floats(doubles.size());
      std::uint64_t state = 1181783497276652981ull;
      for (std::size_t p = 0; p < n; ++p)
        for (std::size_t k = 0; k < d; ++k) {
          state ^= state << 13, state ^= state >> 7, state ^= state << 17;
          double const v = static_cast<double>(static_cast<std::int64_t>(state >> 40) - (1 << 23)) / 4096.0 +
                           (state & 1 ? 0x1p-40 : 0.0);  // next to a float midpoint half the time
          doubles[p * ps + k * vs] = v;
          floats[p * ps + k * vs] = rows[p * d + k] = static_cast<float>(v);
        }
      std::vector<float> expected(n), got(n, untouched);
      std::vector<double> wide(n);
      ASSERT_EQ(objeval_evaluate(problem, rows.data(), n, expected.data(), 1), OBJEVAL_OK);
      for (unsigned const threads : {1u, 2u}) {
        ASSERT_EQ(objeval_evaluate_double(problem, doubles.data(), n, ps, vs, got.data(), threads), OBJEVAL_OK);
        EXPECT_EQ(std::memcmp(got.data(), expected.data(), n * sizeof(float)), 0) << l.name << ", " << d;
        ASSERT_EQ(objeval_evaluate_doubles(problem, doubles.data(), n, ps, vs, wide.data(), threads), OBJEVAL_OK);
        for (std::size_t p = 0; p < n; ++p) got[p] = static_cast<float>(wide[p]);
        EXPECT_EQ(std::memcmp(got.data(), expected.data(), n * sizeof(float)), 0) << l.name << " into doubles";
        std::vector<double> over = doubles;  // values written over the points, as a caller short of memory may
        ASSERT_EQ(objeval_evaluate_doubles(problem, over.data(), n, ps, vs, over.data(), threads), OBJEVAL_OK);
        EXPECT_EQ(std::memcmp(over.data(), wide.data(), n * sizeof(double)), 0) << l.name << " over its points";
        ASSERT_EQ(objeval_evaluate_strided(problem, floats.data(), n, ps, vs, got.data(), threads), OBJEVAL_OK);
        EXPECT_EQ(std::memcmp(got.data(), expected.data(), n * sizeof(float)), 0) << l.name << " from floats";
      }
    }
  }
  double none = 0;
  EXPECT_EQ(objeval_evaluate_doubles(OBJEVAL_QUADOBJ, nullptr, 1, 50, 1, &none, 1), OBJEVAL_NULL_POINTER);
  EXPECT_EQ(objeval_evaluate_doubles(OBJEVAL_QUADOBJ, &none, SIZE_MAX / 4, 1, 1, &none, 1), OBJEVAL_COUNT_TOO_LARGE);
}

// The helper threads a host may need to control: bound one to a CPU unless
// OBJEVAL_PIN_THREADS=0 (ctest runs this test both ways), and ended on
// request, then started again by the next batch.
std::vector<std::string> helper_cpu_lists() {
  std::vector<std::string> lists;
  std::string const self = std::to_string(gettid());
  for (auto const& task : std::filesystem::directory_iterator("/proc/self/task")) {
    if (task.path().filename() == self) continue;
    std::ifstream status(task.path() / "status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("Cpus_allowed_list:", 0) == 0) lists.push_back(line.substr(line.find_first_not_of(" \t", 18)));
  }
  return lists;
}

TEST(CApi, HelperThreadsArePinnedUnlessAskedNotAndEndOnRequest) {
  cpu_set_t mine;
  ASSERT_EQ(sched_getaffinity(0, sizeof mine, &mine), 0);
  if (CPU_COUNT(&mine) < 2) GTEST_SKIP() << "one CPU: no helper";
  objeval_release_threads();
  ASSERT_TRUE(helper_cpu_lists().empty());
  std::vector<float> points(4000 * 50, 0.5f), values(4000);
  ASSERT_EQ(objeval_evaluate(OBJEVAL_QUADOBJ, points.data(), 4000, values.data(), 2), OBJEVAL_OK);
  std::vector<std::string> const helpers = helper_cpu_lists();
  ASSERT_EQ(helpers.size(), 1u);
  char const* const pin = std::getenv("OBJEVAL_PIN_THREADS");
  if (pin != nullptr && std::string(pin) == "0") {
    std::string const main_list = [] {
      std::ifstream status("/proc/self/status");
      for (std::string line; std::getline(status, line);)
        if (line.rfind("Cpus_allowed_list:", 0) == 0) return line.substr(line.find_first_not_of(" \t", 18));
      return std::string();
    }();
    EXPECT_EQ(helpers[0], main_list);
  } else {
    EXPECT_EQ(helpers[0].find_first_of(",-"), std::string::npos) << helpers[0];  // one CPU
  }
  objeval_release_threads();
  EXPECT_TRUE(helper_cpu_lists().empty());
  std::vector<float> again(4000);
  ASSERT_EQ(objeval_evaluate(OBJEVAL_QUADOBJ, points.data(), 4000, again.data(), 2), OBJEVAL_OK);
  EXPECT_EQ(helper_cpu_lists().size(), 1u);
  EXPECT_EQ(std::memcmp(again.data(), values.data(), values.size() * sizeof(float)), 0);
}

}  // namespace
