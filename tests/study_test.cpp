// SPDX-License-Identifier: MIT
// Studies through the C interface: each evaluation counted in order, a
// budget kept to the point, the best-so-far value and point, and folders
// that IOHanalyzer's rules (tests/study_format.py) take whole, whatever
// threads, processes and SIGKILL did to them.
#include "program_run.hpp"

#include <objeval/objeval.h>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using testing_support::scratch_dir;

std::vector<float> random_points(std::size_t problem, std::size_t count, unsigned seed) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<float> value(-2.0f, 2.0f);
  std::vector<float> points(count * objeval_problem_at(problem)->dimension);
  for (float& v : points) v = value(engine);
  return points;
}

// The folder's runs as IOHanalyzer would load them, a line each; fails the
// test where a rule breaks or the count is not `runs`.
std::string loaded(scratch_dir const& dir, std::size_t runs) {
  std::string const command = std::string(OBJEVAL_PYTHON) + " " + STUDY_FORMAT + " " + dir.path().string() +
                              " --runs " + std::to_string(runs) + " > " + (dir / "loaded.txt").string();
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return dir.read("loaded.txt").value_or("");
}

objeval_study* open_study(scratch_dir const& dir, char const* algorithm, unsigned options = 0) {
  objeval_study* study = nullptr;
  EXPECT_EQ(objeval_study_open(dir.path().c_str(), algorithm, "a test's", options, &study), OBJEVAL_OK)
      << objeval_last_error();
  return study;
}

// A batch that crosses the budget evaluates the points within it alone;
// the run's count, best value and point are those of the evaluations made.
TEST(Study, BudgetStopsAtExactlyItsEvaluationsAndTheBestIsThatOfThem) {
  scratch_dir dir;
  objeval_study* const study = open_study(dir, "random search");
  std::size_t const quadobj = objeval_problem_find("quadobj");
  std::vector<float> const points = random_points(quadobj, 14, 1);
  objeval_run* run = nullptr;
  ASSERT_EQ(objeval_run_start(study, quadobj, 10, "seed=1;restart=0", &run), OBJEVAL_OK);
  std::vector<float> values(14, -1.0f), expected(14);
  ASSERT_EQ(objeval_evaluate(quadobj, points.data(), 14, expected.data(), 1), OBJEVAL_OK);
  std::size_t evaluated = 99;
  EXPECT_EQ(objeval_run_evaluate(run, points.data(), 4, values.data(), 1, &evaluated), OBJEVAL_OK);
  EXPECT_EQ(evaluated, 4u);
  EXPECT_EQ(objeval_run_evaluate(run, points.data() + 4 * 50, 10, values.data() + 4, 2, &evaluated),
            OBJEVAL_BUDGET_SPENT);
  EXPECT_EQ(evaluated, 6u);
  EXPECT_NE(std::string(objeval_last_error()).find("budget"), std::string::npos);
  EXPECT_EQ(std::vector<float>(values.begin(), values.begin() + 10), std::vector<float>(expected.begin(), expected.begin() + 10));
  EXPECT_EQ(values[10], -1.0f);  // past the budget: not evaluated, not written
  EXPECT_EQ(objeval_run_evaluate(run, points.data(), 1, values.data(), 1, &evaluated), OBJEVAL_BUDGET_SPENT);
  EXPECT_EQ(evaluated, 0u);
  EXPECT_EQ(objeval_run_evaluations(run), 10u);
  auto const best = std::min_element(expected.begin(), expected.begin() + 10);
  std::vector<float> point(50);
  EXPECT_EQ(objeval_run_best(run, point.data()), *best);
  EXPECT_EQ(point, std::vector<float>(points.begin() + (best - expected.begin()) * 50,
                                      points.begin() + (best - expected.begin() + 1) * 50));
  ASSERT_EQ(objeval_run_end(run), OBJEVAL_OK);
  objeval_study_close(study);
  char line[128];
  std::snprintf(line, sizeof line, "random search\tquadobj\t1\t10\t%.9g\n", static_cast<double>(*best));
  EXPECT_EQ(loaded(dir, 1), line);
}

// Every layout the bindings hand over counts and logs the same run, every
// evaluation and every point logged where asked.
TEST(Study, EveryLayoutLogsTheSameRun) {
  scratch_dir dir;
  objeval_study* const study = open_study(dir, "layouts", OBJEVAL_LOG_EVERY_EVALUATION | OBJEVAL_LOG_POINTS);
  std::size_t const problem = objeval_problem_find("doorcost"), d = 240, n = 30;
  std::vector<float> const rows = random_points(problem, n, 2);
  std::vector<double> columns(n * d);
  for (std::size_t p = 0; p < n; ++p)
    for (std::size_t k = 0; k < d; ++k) columns[k * n + p] = rows[p * d + k];
  std::vector<float> values(n), expected(n);
  std::vector<double> wide(n);
  ASSERT_EQ(objeval_evaluate(problem, rows.data(), n, expected.data(), 1), OBJEVAL_OK);
  for (int layout = 0; layout < 4; ++layout) {
    objeval_run* run = nullptr;
    ASSERT_EQ(objeval_run_start(study, problem, 0, nullptr, &run), OBJEVAL_OK);
    objeval_status const status =
        layout == 0   ? objeval_run_evaluate(run, rows.data(), n, values.data(), 2, nullptr)
        : layout == 1 ? objeval_run_evaluate_strided(run, rows.data(), n, d, 1, values.data(), 1, nullptr)
        : layout == 2 ? objeval_run_evaluate_double(run, columns.data(), n, 1, n, values.data(), 2, nullptr)
                      : objeval_run_evaluate_doubles(run, columns.data(), n, 1, n, wide.data(), 1, nullptr);
    ASSERT_EQ(status, OBJEVAL_OK) << layout;
    if (layout == 3) std::transform(wide.begin(), wide.end(), values.begin(), [](double v) { return static_cast<float>(v); });
    EXPECT_EQ(values, expected) << layout;
    ASSERT_EQ(objeval_run_end(run), OBJEVAL_OK);
  }
  objeval_study_close(study);
  std::string const runs = loaded(dir, 4);
  for (int k = 1; k <= 4; ++k) {
    char line[128];
    std::snprintf(line, sizeof line, "layouts\tdoorcost\t%d\t30\t%.9g\n", k,
                  static_cast<double>(*std::min_element(expected.begin(), expected.end())));
    EXPECT_NE(runs.find(line), std::string::npos) << runs;
  }
}

TEST(Study, WhatCannotBeTakenIsSaidAndWritesNothing) {
  scratch_dir dir;
  objeval_study* study = nullptr;
  dir.write("a file", "");
  EXPECT_EQ(objeval_study_open((dir / "a file").c_str(), "x", nullptr, 0, &study), OBJEVAL_CANNOT_WRITE);
  EXPECT_NE(std::string(objeval_last_error()).find("a file"), std::string::npos) << objeval_last_error();
  EXPECT_EQ(study, nullptr);
  EXPECT_EQ(objeval_study_open(dir.path().c_str(), "", nullptr, 0, &study), OBJEVAL_BAD_ARGUMENT);
  EXPECT_EQ(objeval_study_open(dir.path().c_str(), "x", nullptr, 16, &study), OBJEVAL_BAD_ARGUMENT);
  study = open_study(dir, "x");
  objeval_run* run = nullptr;
  for (char const* attributes : {"seed", "1seed=2", "instance=3", "seed=1;seed=2", "seed=a\tb"})
    EXPECT_EQ(objeval_run_start(study, 0, 0, attributes, &run), OBJEVAL_BAD_ARGUMENT) << attributes;
  EXPECT_EQ(objeval_run_start(study, objeval_problem_count(), 0, nullptr, &run), OBJEVAL_NO_SUCH_PROBLEM);
  EXPECT_EQ(run, nullptr);
  EXPECT_EQ(objeval_run_evaluate(nullptr, nullptr, 1, nullptr, 1, nullptr), OBJEVAL_NULL_POINTER);
  ASSERT_EQ(objeval_run_start(study, 0, 0, "seed=1", &run), OBJEVAL_OK);
  ASSERT_EQ(objeval_run_end(run), OBJEVAL_OK);  // no evaluation: no run in the study
  objeval_study_close(study);
  loaded(dir, 0);
}

// Threads and processes writing one folder at once: every run present, and
// the folder loads as one study.
TEST(Study, ThreadsAndProcessesWritingOneFolderLoseNoRun) {
  scratch_dir dir;
  auto const runs = [&dir](unsigned seed) {
    objeval_study* const study = open_study(dir, "parallel");
    for (unsigned r = 0; r < 3; ++r) {
      std::size_t const problem = r % objeval_problem_count();
      std::vector<float> const points = random_points(problem, 200, seed * 10 + r);
      std::vector<float> values(200);
      objeval_run* run = nullptr;
      if (objeval_run_start(study, problem, 0, ("seed=" + std::to_string(seed)).c_str(), &run) != OBJEVAL_OK) return false;
      for (std::size_t first = 0; first < 200; first += 50)
        if (objeval_run_evaluate(run, points.data() + first * objeval_problem_at(problem)->dimension, 50,
                                 values.data() + first, 1, nullptr) != OBJEVAL_OK)
          return false;
      if (objeval_run_end(run) != OBJEVAL_OK) return false;
    }
    objeval_study_close(study);
    return true;
  };
  std::vector<pid_t> children;
  for (unsigned c = 0; c < 2; ++c) {
    pid_t const child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) _exit(runs(100 + c) ? 0 : 1);
    children.push_back(child);
  }
  bool done[4] = {};
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < 4; ++t) threads.emplace_back([&, t] { done[t] = runs(t); });
  for (std::thread& thread : threads) thread.join();
  for (bool const d : done) EXPECT_TRUE(d);
  for (pid_t const child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  loaded(dir, 18);
}

// A process killed in the middle of a run: the runs it ended stay whole.
TEST(Study, SigkillKeepsEveryFinishedRun) {
  scratch_dir dir;
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t const child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    objeval_study* const study = open_study(dir, "killed");
    std::vector<float> const points = random_points(0, 100, 3);
    std::vector<float> values(100);
    for (int r = 0; r < 4; ++r) {
      objeval_run* run = nullptr;
      objeval_run_start(study, 0, 0, nullptr, &run);
      objeval_run_evaluate(run, points.data(), 100, values.data(), 1, nullptr);
      if (r < 3) objeval_run_end(run);
    }
    (void)!write(ready[1], "x", 1);
    pause();
    _exit(0);
  }
  char x;
  ASSERT_EQ(read(ready[0], &x, 1), 1);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  close(ready[0]);
  close(ready[1]);
  EXPECT_TRUE(WIFSIGNALED(status));
  loaded(dir, 3);
}

}  // namespace
