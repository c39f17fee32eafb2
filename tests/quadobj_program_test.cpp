// SPDX-License-Identifier: MIT
// quadobj runs the same frame with 50 values; a few runs pin that joining.
#include "program_run.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using testing_support::scratch_dir;

std::string fifty(std::string const& first_two) {
  std::string text = first_two;
  for (int n = 2; n < 50; ++n) text += " 0";
  return text + "\n";
}

TEST(QuadobjRun, ReadsFiftyValuesAndIgnoresTheRest) {
  scratch_dir dir;
  dir.write("input.txt", fifty("1 2") + "7 7 7");
  auto const run = testing_support::run_program(QUADOBJ_PROGRAM, dir.path());
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.stdout_text, "");
  EXPECT_EQ(dir.read("output.txt"), "480.752960");
}

TEST(QuadobjRun, MissingInputFailsWithStatusOne) {
  scratch_dir dir;
  auto const run = testing_support::run_program(QUADOBJ_PROGRAM, dir.path());
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.stdout_text, "Can not open the input file!!!");
  EXPECT_FALSE(dir.read("output.txt").has_value());
}

TEST(QuadobjRun, FullDiskIsAWriteFailure) {
  scratch_dir dir;
  dir.write("input.txt", fifty("1 2"));
  std::filesystem::create_symlink("/dev/full", dir / "output.txt");
  auto const run = testing_support::run_program(QUADOBJ_PROGRAM, dir.path());
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.stdout_text, "Can not write the output file!!!");
}

}  // namespace
