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

// Short or malformed input keeps its value and status (unread slots are 0),
// and says so in one line on standard error; good input says nothing.
TEST(QuadobjRun, ShortOrMalformedInputIsNamedOnStandardError) {
  struct {
    std::string input, value, error;
  } const cases[] = {
      {fifty("1 2") + "junk after the fiftieth", "480.752960", ""},
      {"1,2,3", "21.315977", "1 of 50 numbers read; number 2 is not a number, at \",2,3\"; every slot not read is 0"},
      {"hello", "0.000000", "0 of 50 numbers read; number 1 is not a number, at \"hello\"; every slot not read is 0"},
      {"", "0.000000", "0 numbers where 50 were expected; the rest are 0"},
      {fifty("1 2").substr(0, fifty("1 2").size() - 2), "480.752960", "49 numbers where 50 were expected; the last is 0"},
      {"\xef\xbb\xbf" + fifty("1 0"), "0.000000",
       "0 of 50 numbers read; number 1 is not a number, at \"\\xef\\xbb\\xbf1 0 0 0 0 0 0\" (a byte-order mark); "
       "every slot not read is 0"},
      {"1\n\x01\"\\", "21.315977",
       "1 of 50 numbers read; number 2 is not a number, at \"\\x01\\x22\\x5c\"; every slot not read is 0"},
  };
  for (auto const& c : cases) {
    scratch_dir dir;
    dir.write("input.txt", c.input);
    auto const run = testing_support::run_program(QUADOBJ_PROGRAM, dir.path());
    EXPECT_EQ(run.exit_status, 0) << c.input;
    EXPECT_EQ(run.stdout_text, "") << c.input;
    EXPECT_EQ(dir.read("output.txt"), c.value) << c.input;
    EXPECT_EQ(run.stderr_text, c.error.empty() ? "" : "input.txt: " + c.error + "\n") << c.input;
  }
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
