// SPDX-License-Identifier: MIT
// The programs under load and under hostile input: every outcome is one of
// the documented ones, and no run crashes.
#include "program_run.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <regex>
#include <string>
#include <vector>

namespace {

using testing_support::program_run;
using testing_support::scratch_dir;

// x[0][0] = v and y[3][0] = 1, all else 0: doorcost writes 368 * v.
std::string doorcost_input(int v) {
  std::string text = std::to_string(v);
  for (int n = 1; n < 240; ++n) text += n == 144 ? " 1" : " 0";
  return text + "\n";
}

std::string printed(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%f", value);
  return text;
}

bool is_value(std::optional<std::string> const& output) {
  static std::regex const fixed(R"(-?([0-9]+\.[0-9]{6}|inf|nan))");
  return output.has_value() && std::regex_match(*output, fixed);
}

TEST(Load, TwoHundredRunsAtOnceEachInItsOwnDirectory) {
  constexpr int runs = 200;
  std::vector<std::unique_ptr<scratch_dir>> dirs;
  std::vector<testing_support::running_program> running;
  for (int n = 0; n < runs; ++n) {
    dirs.push_back(std::make_unique<scratch_dir>());
    bool const door = n % 2 == 0;
    dirs.back()->write("input.txt", door ? doorcost_input(n) : std::to_string(n) + std::string(49, '\n'));
    running.push_back(testing_support::start_program(door ? DOORCOST_PROGRAM : QUADOBJ_PROGRAM, dirs.back()->path()));
  }
  for (int n = 0; n < runs; ++n) {
    program_run const run = running[static_cast<std::size_t>(n)].wait();
    EXPECT_EQ(run.exit_status, 0) << n;
    EXPECT_EQ(run.stdout_text, "") << n;
    // quadobj with x[0] = n alone: c[0] * n, narrowed to float.
    std::string const expected = n % 2 == 0 ? printed(368.0 * n) : printed(static_cast<float>(21.31597754 * n));
    EXPECT_EQ(dirs[static_cast<std::size_t>(n)]->read("output.txt"), expected) << n;
  }
}

double fastest_run_seconds(scratch_dir const& dir, int repeats) {
  double best = 1e9;
  for (int r = 0; r < repeats; ++r) {
    auto const start = std::chrono::steady_clock::now();
    EXPECT_EQ(testing_support::run_program(DOORCOST_PROGRAM, dir.path()).exit_status, 0);
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

// Only the first 240 numbers are read: a file of over 100 MB costs no more.
TEST(Load, HugeInputIsReadOnlyAsFarAsNeeded) {
  scratch_dir small, huge;
  small.write("input.txt", doorcost_input(3));
  {
    std::ofstream out(huge / "input.txt", std::ios::binary);
    out << doorcost_input(3);
    std::string const block(1 << 20, '7');
    for (int mb = 0; mb < 101; ++mb) out << block << ' ';
  }
  ASSERT_GT(std::filesystem::file_size(huge / "input.txt"), 100'000'000U);
  double const small_time = fastest_run_seconds(small, 5);
  double const huge_time = fastest_run_seconds(huge, 5);
  EXPECT_EQ(huge.read("output.txt"), "1104.000000");
  EXPECT_LT(huge_time, 2 * small_time + 0.005) << "small " << small_time << " s, huge " << huge_time << " s";
}

TEST(HostileInput, BinaryNoiseAndNulBytesGiveAValue) {
  std::mt19937 engine(11);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int sample = 0; sample < 20; ++sample) {
    std::string noise(4096, '\0');
    for (char& c : noise) c = static_cast<char>(byte(engine));
    if (sample % 2 == 0) noise = doorcost_input(5).substr(0, 100) + noise;
    scratch_dir dir;
    dir.write("input.txt", noise);
    program_run const run = testing_support::run_program(DOORCOST_PROGRAM, dir.path());
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.stdout_text, "");
    EXPECT_TRUE(is_value(dir.read("output.txt"))) << dir.read("output.txt").value_or("<none>");
  }
}

// A NUL is not white space: the read stops there and later slots stay 0.
TEST(HostileInput, NulEndsTheNumbers) {
  scratch_dir dir;
  std::string input = doorcost_input(2);
  input[1] = '\0';  // right after x[0][0]
  dir.write("input.txt", input);
  EXPECT_EQ(testing_support::run_program(DOORCOST_PROGRAM, dir.path()).exit_status, 0);
  EXPECT_EQ(dir.read("output.txt"), "0.000000");  // y[3][0] never read
}

TEST(HostileInput, NumbersOfAHundredThousandDigits) {
  std::string const tail = []{
    std::string t;
    for (int n = 1; n < 240; ++n) t += n == 144 ? " 1" : " 0";
    return t;
  }();
  scratch_dir huge, tiny, long_fraction;
  huge.write("input.txt", "1" + std::string(100'000, '0') + tail);
  tiny.write("input.txt", "0." + std::string(100'000, '0') + "1" + tail);
  long_fraction.write("input.txt", "0.5" + std::string(99'998, '0') + tail);
  for (auto const* dir : {&huge, &tiny, &long_fraction})
    EXPECT_EQ(testing_support::run_program(DOORCOST_PROGRAM, dir->path()).exit_status, 0);
  EXPECT_EQ(huge.read("output.txt"), "nan");  // x[0][0] = inf meets the zero y values
  EXPECT_EQ(tiny.read("output.txt"), "0.000000");
  EXPECT_EQ(long_fraction.read("output.txt"), "184.000000");
}

}  // namespace
