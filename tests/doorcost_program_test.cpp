// SPDX-License-Identifier: MIT
// doorcost as a caller sees it: files in a fresh directory, stdout, exit status.
#include "program_run.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

using testing_support::program_run;
using testing_support::scratch_dir;

constexpr char input_failure[] = "Can not open the input file!!!";
constexpr char output_failure[] = "Can not open the output file!!!";
constexpr char write_failure[] = "Can not write the output file!!!";

// Slot 144 is y[3][0]: with x[0][0] = v and y[3][0] = 1 the cost is 368 * v.
constexpr std::size_t y_3_0 = 120 + 3 * 8;

std::vector<std::string> zeros() { return std::vector<std::string>(240, "0"); }

std::string join(std::vector<std::string> const& tokens, std::string const& separator = "\n") {
  std::string text;
  for (auto const& t : tokens) text += t + separator;
  return text;
}

std::string with_x00(std::string const& x00) {
  auto tokens = zeros();
  tokens[0] = x00;
  tokens[y_3_0] = "1";
  return join(tokens);
}

struct doorcost_run {
  program_run run;
  std::optional<std::string> output;
};

doorcost_run run_in(scratch_dir const& dir, std::vector<std::string> const& env = {},
                    std::vector<std::string> const& args = {}) {
  program_run run = testing_support::run_program(DOORCOST_PROGRAM, dir.path(), env, args);
  return {run, dir.read("output.txt")};
}

doorcost_run evaluate(std::string const& input, std::vector<std::string> const& env = {}) {
  scratch_dir dir;
  dir.write("input.txt", input);
  return run_in(dir, env);
}

std::string value_of(std::string const& input) {
  auto const result = evaluate(input);
  EXPECT_EQ(result.run.exit_status, 0);
  EXPECT_EQ(result.run.stdout_text, "");
  return result.output.value_or("<no output.txt>");
}

TEST(DoorcostRun, SuccessWritesOnlyTheValueWithNoLineEnd) {
  auto const result = evaluate(with_x00("1"));
  EXPECT_EQ(result.run.exit_status, 0);
  EXPECT_EQ(result.run.stdout_text, "");
  EXPECT_EQ(result.run.stderr_text, "");
  EXPECT_EQ(result.output, "368.000000");
}

TEST(DoorcostRun, ExistingOutputIsTruncated) {
  scratch_dir dir;
  dir.write("input.txt", with_x00("1"));
  dir.write("output.txt", "a much longer stale value from an earlier run");
  EXPECT_EQ(run_in(dir).output, "368.000000");
}

// output.txt is written over in place, never replaced: whatever points at
// it (another hard link, a symlink) sees the new value, and it keeps its
// inode and permissions, as with "wt".
TEST(DoorcostRun, OverwrittenOutputStaysTheSameFile) {
  namespace fs = std::filesystem;
  scratch_dir dir;
  dir.write("input.txt", with_x00("1"));
  dir.write("output.txt", "a much longer stale value");
  fs::permissions(dir / "output.txt", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_hard_link(dir / "output.txt", dir / "link.txt");
  struct stat before {};
  ASSERT_EQ(stat((dir / "output.txt").c_str(), &before), 0);

  EXPECT_EQ(run_in(dir).run.exit_status, 0);
  struct stat after {};
  ASSERT_EQ(stat((dir / "output.txt").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode, before.st_mode);
  EXPECT_EQ(after.st_nlink, 2U);
  EXPECT_EQ(dir.read("link.txt"), "368.000000");
}

TEST(DoorcostRun, OutputThroughASymlinkReachesItsTarget) {
  namespace fs = std::filesystem;
  scratch_dir dir;
  dir.write("input.txt", with_x00("1"));
  fs::create_directory(dir / "results");
  fs::create_symlink("results/value.txt", dir / "output.txt");
  auto const created = run_in(dir);
  EXPECT_EQ(created.run.exit_status, 0);
  EXPECT_EQ(dir.read("results/value.txt"), "368.000000");

  dir.write("results/value.txt", "a much longer stale value");
  EXPECT_EQ(run_in(dir).output, "368.000000");
  EXPECT_TRUE(fs::is_symlink(dir / "output.txt"));
}

// A device is written as it is, never cut.
TEST(DoorcostRun, OutputToDevNullSucceeds) {
  scratch_dir dir;
  dir.write("input.txt", with_x00("1"));
  std::filesystem::create_symlink("/dev/null", dir / "output.txt");
  auto const result = run_in(dir);
  EXPECT_EQ(result.run.exit_status, 0);
  EXPECT_EQ(result.run.stdout_text, "");
}

TEST(DoorcostRun, ArgumentsAreIgnored) {
  scratch_dir dir;
  dir.write("input.txt", with_x00("1"));
  auto const result = run_in(dir, {}, {"--help", "other.txt"});
  EXPECT_EQ(result.run.exit_status, 0);
  EXPECT_EQ(result.output, "368.000000");
}

// A caller must never take a stale output.txt for this run's value.
TEST(DoorcostFailure, MissingInputFailsAndLeavesOutputAlone) {
  scratch_dir dir;
  auto const fresh = run_in(dir);
  EXPECT_EQ(fresh.run.stdout_text, input_failure);
  EXPECT_EQ(fresh.run.exit_status, 1);
  EXPECT_FALSE(fresh.output.has_value());

  dir.write("output.txt", "stale");
  auto const stale = run_in(dir);
  EXPECT_EQ(stale.run.exit_status, 1);
  EXPECT_EQ(stale.output, "stale");
}

// fopen succeeds on a directory; only the read fails.
TEST(DoorcostFailure, InputThatIsADirectoryIsAnInputFailure) {
  scratch_dir dir;
  std::filesystem::create_directory(dir / "input.txt");
  dir.write("output.txt", "stale");
  auto const result = run_in(dir);
  EXPECT_EQ(result.run.stdout_text, input_failure);
  EXPECT_EQ(result.run.exit_status, 1);
  EXPECT_EQ(result.output, "stale");
}

// Root reads any file, so as root the program runs as nobody for this test.
TEST(DoorcostFailure, UnreadableInputIsAnInputFailure) {
  scratch_dir dir;
  dir.write("input.txt", with_x00("1"));
  std::filesystem::permissions(dir / "input.txt", std::filesystem::perms::none);
  program_run run;
  if (geteuid() != 0) {
    run = testing_support::run_program(DOORCOST_PROGRAM, dir.path());
  } else {
    if (!std::filesystem::exists("/usr/bin/setpriv")) GTEST_SKIP() << "root reads any file";
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
    run = testing_support::run_program("/usr/bin/setpriv", dir.path(), {},
                                       {"--reuid=65534", "--regid=65534", "--clear-groups", DOORCOST_PROGRAM});
    if (run.exit_status == 126 || run.exit_status == 127) GTEST_SKIP() << "nobody cannot reach the program";
  }
  EXPECT_EQ(run.stdout_text, input_failure);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_FALSE(dir.read("output.txt").has_value());
}

TEST(DoorcostFailure, OutputThatIsADirectoryCannotBeOpened) {
  scratch_dir dir;
  dir.write("input.txt", with_x00("1"));
  std::filesystem::create_directory(dir / "output.txt");
  auto const result = run_in(dir);
  EXPECT_EQ(result.run.stdout_text, output_failure);
  EXPECT_EQ(result.run.exit_status, 1);
}

TEST(DoorcostFailure, OutputIntoAMissingDirectoryCannotBeOpened) {
  scratch_dir dir;
  dir.write("input.txt", with_x00("1"));
  std::filesystem::create_symlink(dir / "missing" / "output.txt", dir / "output.txt");
  auto const result = run_in(dir);
  EXPECT_EQ(result.run.stdout_text, output_failure);
  EXPECT_EQ(result.run.exit_status, 1);
}

// The write itself succeeds into the buffer; the full disk shows at close.
TEST(DoorcostFailure, FullDiskIsAWriteFailure) {
  scratch_dir dir;
  dir.write("input.txt", with_x00("1"));
  std::filesystem::create_symlink("/dev/full", dir / "output.txt");
  auto const result = run_in(dir);
  EXPECT_EQ(result.run.stdout_text, write_failure);
  EXPECT_EQ(result.run.exit_status, 1);
}

TEST(DoorcostReading, DecimalExponentAndHexFormsAllReadAsOne) {
  for (char const* one : {"1", "1.0", "1e0", "0x1p0", "+1", "1.", ".1e1", "1E0"})
    EXPECT_EQ(value_of(with_x00(one)), "368.000000") << one;
}

TEST(DoorcostReading, AnyWhiteSpaceSeparatesNumbers) {
  auto tokens = zeros();
  tokens[0] = "0.5";
  tokens[1] = "0.25";
  tokens[y_3_0] = "1";
  std::string const expected = value_of(join(tokens, "\n"));
  EXPECT_EQ(expected, "287.500000");  // 368 * 0.5 + 414 * 0.25
  EXPECT_EQ(value_of(join(tokens, "\t")), expected);
  EXPECT_EQ(value_of(join(tokens, "  \t \n\n ")), expected);
  EXPECT_EQ(value_of(join(tokens, "\r\n")), expected);
  EXPECT_EQ(value_of("\n\n   " + join(tokens, " ")), expected);
}

// The longest stretch that forms a number ends where the next sign starts.
TEST(DoorcostReading, SignStartsTheNextNumber) {
  auto tokens = zeros();
  tokens.erase(tokens.begin());
  tokens[0] = "1-2";  // slots 0 and 1
  tokens[y_3_0 - 1] = "1";
  EXPECT_EQ(value_of(join(tokens)), "-460.000000");  // 368 - 2 * 414
}

// Every read after the comma stops at it, so later numbers never arrive.
TEST(DoorcostReading, CommaEndsTheReadingAndLaterSlotsAreZero) {
  auto tokens = zeros();
  tokens[0] = "1";
  tokens[y_3_0] = "1";
  tokens[y_3_0 + 1] = "1,2";  // y[3][1] = 1: adds 46 * 9
  tokens[y_3_0 + 2] = "1";    // would add 46 * 10 if it were read
  EXPECT_EQ(value_of(join(tokens)), "782.000000");
}

TEST(DoorcostReading, ShortInputLeavesTheRestZero) {
  EXPECT_EQ(value_of("1\n"), "0.000000");
  EXPECT_EQ(value_of(""), "0.000000");
  EXPECT_EQ(value_of("not a number"), "0.000000");
}

TEST(DoorcostReading, TooLargeForFloatReadsAsInfinity) {
  auto tokens = zeros();
  for (std::size_t n = 120; n < 240; ++n) tokens[n] = "1";
  tokens[0] = "1e39";
  EXPECT_EQ(value_of(join(tokens)), "inf");
  tokens[0] = "-1e39";
  EXPECT_EQ(value_of(join(tokens)), "-inf");
}

TEST(DoorcostReading, NumbersAfterTheLastSlotAreIgnored) {
  std::string const exact = with_x00("1");
  EXPECT_EQ(value_of(exact + "5 6 7\n1e39 nan junk"), value_of(exact));
}

TEST(DoorcostReading, LocaleNeverChangesTheDecimalPoint) {
  for (char const* locale : {"de_DE.UTF-8", "fr_FR", "C.UTF-8"}) {
    auto const result = evaluate(with_x00("0.5"), {std::string("LC_ALL=") + locale, "LANG=de_DE"});
    EXPECT_EQ(result.output, "184.000000") << locale;
  }
}

}  // namespace
