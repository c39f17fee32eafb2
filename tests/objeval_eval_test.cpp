// SPDX-License-Identifier: MIT
// objeval-eval as a caller sees it: a points file in, values out, and a bad
// line that stops the run after every value before it.
#include "cli/input_chunks.hpp"
#include "cli/point_lines.hpp"
#include "program_run.hpp"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <signal.h>

#include <unistd.h>

#include <bit>
#include <chrono>
#include <thread>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <memory>
#include <optional>
#include <random>
#include <span>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testing_support::scratch_dir;

struct eval_run {
  std::vector<std::string> values;
  std::string errors;
  int status = -1;
};

// objeval-eval ARGUMENTS POINTS_FILE, or without a points file where there are no points.
eval_run run_eval(scratch_dir const& dir, std::string const& arguments, std::optional<std::string> const& points) {
  if (points) dir.write("points.txt", *points);
  std::string const command = std::string(OBJEVAL_EVAL_PROGRAM) + " " + arguments + " " +
                              (points ? (dir / "points.txt").string() : "") + " 2>" + (dir / "errors.txt").string();
  std::FILE* out = popen(command.c_str(), "r");
  eval_run run;
  std::string text;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, out)) > 0;) text.append(buffer, n);
  int const status = pclose(out);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) run.values.push_back(line);
  run.errors = dir.read("errors.txt").value_or("");
  return run;
}

std::string program_value(char const* program, std::string const& point) {
  scratch_dir dir;
  dir.write("input.txt", point);
  EXPECT_EQ(testing_support::run_program(program, dir.path()).exit_status, 0);
  return dir.read("output.txt").value_or("<none>");
}

std::string random_line(std::mt19937& random, int count, char const* separator) {
  std::uniform_real_distribution<double> value(-10, 10);
  std::string line;
  for (int n = 0; n < count; ++n) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value(random));
    line += (n == 0 ? "" : separator) + std::string(text);
  }
  return line;
}

// Every form the programs read, in CSV and in columns: the same value each.
TEST(ObjevalEval, ValuesAreTheProgramsValues) {
  std::mt19937 random(8);
  std::vector<std::string> points;
  for (int n = 0; n < 12; ++n) points.push_back(random_line(random, 50, n % 2 ? ", " : "\t"));
  points.push_back("0x1.8p1 -inf nan -0 1e39 +2.5 1e " + random_line(random, 43, " "));
  std::string text = "# header, as numpy.savetxt writes one\n";
  for (auto const& p : points) text += p + "\n";
  scratch_dir dir;
  auto const run = run_eval(dir, "quadobj", text);
  ASSERT_EQ(run.status, 0) << run.errors;
  ASSERT_EQ(run.values.size(), points.size());
  for (std::size_t n = 0; n < points.size(); ++n) {
    std::string as_input = points[n];
    for (char& c : as_input) c = c == ',' ? ' ' : c;
    EXPECT_EQ(run.values[n], program_value(QUADOBJ_PROGRAM, as_input)) << points[n];
  }
  std::string const door_point = random_line(random, 240, " ");
  EXPECT_EQ(run_eval(dir, "doorcost", door_point + "\n").values.at(0), program_value(DOORCOST_PROGRAM, door_point));
}

// A run of a study: every line answered one evaluation, a budget answered to
// the line, and a run that IOHanalyzer's rules load with those evaluations
// and the least of the values written.
TEST(ObjevalEval, ARunOfAStudyCountsEveryLineAndStopsAtItsBudget) {
  std::mt19937 random(12);
  std::string text;
  for (int n = 0; n < 12; ++n) text += random_line(random, 50, " ") + "\n";
  scratch_dir dir;
  std::string const study = (dir / "study").string();
  auto const run = run_eval(dir, "--round-trip quadobj --log " + study + " --algorithm 'random search' --budget 10", text);
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.errors, "objeval-eval: the budget of 10 evaluations is spent\n");
  ASSERT_EQ(run.values.size(), 10u);
  double best = INFINITY;
  for (std::string const& value : run.values) best = std::min(best, std::strtod(value.c_str(), nullptr));
  std::string const command = std::string(OBJEVAL_PYTHON) + " " + STUDY_FORMAT + " " + study + " --runs 1 >" +
                              (dir / "loaded.txt").string();
  ASSERT_EQ(std::system(command.c_str()), 0);
  char line[128];
  std::snprintf(line, sizeof line, "random search\tquadobj\t1\t10\t%.9g\n", best);
  EXPECT_EQ(dir.read("loaded.txt"), line);
  // Within the budget, and with no budget: status 0, the study one run more.
  EXPECT_EQ(run_eval(dir, "quadobj --log " + study + " --algorithm 'random search' --budget 12", text).status, 0);
  EXPECT_EQ(run_eval(dir, "quadobj --log " + study + " --algorithm 'random search'", text).status, 0);
  EXPECT_EQ(std::system((std::string(OBJEVAL_PYTHON) + " " + STUDY_FORMAT + " " + study + " --runs 3 >/dev/null").c_str()), 0);
  EXPECT_EQ(run_eval(dir, "quadobj --budget 3", text).status, 2);  // a budget is a study's
}

// A budget is a whole number from 1 to 2^64-1, read as the number its text
// writes: "1e1" is ten, never its last digits; anything else is refused,
// naming it. An attribute is recorded with the run.
TEST(ObjevalEval, ABudgetIsTheNumberItsTextWrites) {
  std::mt19937 random(13);
  std::string text;
  for (int n = 0; n < 12; ++n) text += random_line(random, 50, " ") + "\n";
  scratch_dir dir;
  std::string const study = "quadobj --log " + (dir / "study").string() + " --algorithm a --budget ";
  struct { char const* budget; int status; std::size_t answered; } const cases[] = {
      {"1e1", 3, 10}, {"2.5e0", 2, 0}, {"12.0", 0, 12}, {"+11", 3, 11}, {"18446744073709551615", 0, 12},
      {"18446744073709551616", 2, 0}, {"2.5", 2, 0}, {"-5", 2, 0}, {"0x10", 2, 0}, {"0", 2, 0}, {"abc", 2, 0},
      {"1e-1", 2, 0}, {"", 2, 0}};
  for (auto const& c : cases) {
    auto const run = run_eval(dir, study + "'" + c.budget + "'", text);
    EXPECT_EQ(run.status, c.status) << c.budget << ": " << run.errors;
    EXPECT_EQ(run.values.size(), c.answered) << c.budget;
    if (c.status == 2) {
      EXPECT_NE(run.errors.find(std::string("\"") + c.budget + "\""), std::string::npos) << run.errors;
    }
  }
  EXPECT_EQ(run_eval(dir, study + "5 --attribute seed=7 --attribute note=by\\ hand", text).status, 3);
  std::string const meta = dir.read("study/a/IOHprofiler_f2_quadobj_run5.json").value_or("");
  EXPECT_NE(meta.find("\"seed\": \"7\", \"note\": \"by hand\", \"language\": \"objeval-eval "), std::string::npos)
      << meta;
  EXPECT_EQ(run_eval(dir, study + "5 --attribute evals=3", text).status, 2);  // the meta file's own name
}

// A signal ends a logged run into the study, with every line answered
// before it, then the program by the same signal.
TEST(ObjevalEval, ASignalEndsALoggedRunIntoTheStudy) {
  scratch_dir dir;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    std::string const folder = (dir / ("study" + std::to_string(signal))).string();
    int in[2], out[2];
    ASSERT_EQ(pipe(in), 0);
    ASSERT_EQ(pipe(out), 0);
    pid_t const child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
      dup2(in[0], 0), dup2(out[1], 1);
      close(in[1]), close(out[0]);
      execl(OBJEVAL_EVAL_PROGRAM, OBJEVAL_EVAL_PROGRAM, "quadobj", "--log", folder.c_str(), "--algorithm", "a",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(in[0]), close(out[1]);
    std::mt19937 random(static_cast<unsigned>(signal));
    char value[64];
    for (int line = 0; line < 3; ++line) {  // a line in, its value out: a coprocess
      std::string const point = random_line(random, 50, " ") + "\n";
      ASSERT_EQ(write(in[1], point.data(), point.size()), static_cast<ssize_t>(point.size()));
      ASSERT_GT(read(out[0], value, sizeof value), 0);
    }
    kill(child, signal);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    close(in[1]), close(out[0]);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    std::string const meta = dir.read("study" + std::to_string(signal) + "/a/IOHprofiler_f2_quadobj_run1.json").value_or("");
    EXPECT_NE(meta.find("\"evals\": 3,"), std::string::npos) << signal << meta;
    EXPECT_NE(meta.find("\"ending\": \"ended by a signal\""), std::string::npos) << meta;
  }
}

// --check: status 0 for a sound study, 1 naming the file at fault, 2 for no study.
TEST(ObjevalEval, CheckSaysWhetherAStudyIsSound) {
  std::mt19937 random(14);
  std::string text;
  for (int n = 0; n < 6; ++n) text += random_line(random, 50, " ") + "\n";
  scratch_dir dir;
  std::string const study = (dir / "study").string();
  for (char const* seed : {"1", "2"})
    ASSERT_EQ(run_eval(dir, std::string("quadobj --log ") + study + " --algorithm a --attribute seed=" + seed, text).status, 0);
  auto const sound = run_eval(dir, "--check " + study, std::nullopt);
  EXPECT_EQ(sound.status, 0) << sound.values.at(0);
  EXPECT_EQ(sound.values, std::vector<std::string>{study + ": 2 runs of 1 algorithms on 1 problems, 2 logged values "
                                                             "evaluated again: sound"});
  dir.write("study/a/data_f2_quadobj/IOHprofiler_f2_DIM50_run2.dat", "evaluations raw_y\n1 5\n3 7\n6 7\n");
  auto const damaged = run_eval(dir, "--check " + study, std::nullopt);
  EXPECT_EQ(damaged.status, 1);
  EXPECT_NE(damaged.values.at(0).find("run2.dat: line 3: the best-so-far rises, from 5 to 7"), std::string::npos)
      << damaged.values.at(0);
  EXPECT_EQ(run_eval(dir, "--check " + (dir / "none").string(), std::nullopt).status, 2);
}

// One reading: each spelling the programs take, in the last slot, where
// what the programs leave unread ends nothing, gives the programs' value.
// "nan(123)" was refused, though strtod and the programs take it as NaN.
TEST(ObjevalEval, EverySpellingTheProgramsReadGivesTheirValue) {
  std::string const before = random_line(*std::make_unique<std::mt19937>(14), 49, " ") + " ";
  std::vector<std::string> const tokens = {
      "nan", "NaN", "-nan", "+NAN", "nan(123)", "nan()", "NAN(abc_12)", "-nan(x_Y)", "inf", "-INF", "infinity",
      "+Infinity", "0x1p-3", "0X1.8P+1", "0x.8", "0x.", "1e", "1e+", "-.5", "+.5e1", "1.", "1e39", "-1e-50", "00012",
      "0x1p-149", "1.17549435e-38"};
  std::string text;
  for (auto const& token : tokens) text += before + token + "\n";
  scratch_dir dir;
  auto const run = run_eval(dir, "quadobj", text);
  ASSERT_EQ(run.status, 0) << run.errors;
  ASSERT_EQ(run.values.size(), tokens.size());
  for (std::size_t n = 0; n < tokens.size(); ++n)
    EXPECT_EQ(run.values[n], program_value(QUADOBJ_PROGRAM, before + tokens[n])) << tokens[n];
  for (char const* not_payload : {"nan(-)", "nan(1", "nan(a b)", "inf(1)", "1(2)", "0x"})
    EXPECT_EQ(run_eval(dir, "quadobj", before + not_payload + "\n").status, 1) << not_payload;
}

// On a line with commas, commas alone separate fields, each one number:
// "0,5 0,5", decimal commas, read as twice as many numbers and gave a value.
TEST(ObjevalEval, ACommaFieldHoldsOneNumber) {
  scratch_dir dir;
  std::string halves, decimal_commas;
  for (int n = 0; n < 50; ++n) halves += std::string(n ? " ,\t" : "") + "0.5";
  for (int n = 0; n < 25; ++n) decimal_commas += std::string(n ? " " : "") + "0,5";
  std::string spaced(halves);
  for (char& c : spaced) c = c == ',' ? ' ' : c;
  EXPECT_EQ(run_eval(dir, "quadobj", halves + "\n").values, run_eval(dir, "quadobj", spaced + "\n").values);
  auto const comma = run_eval(dir, "quadobj", spaced + "\n" + decimal_commas + "\n");
  EXPECT_EQ(comma.status, 1);
  EXPECT_EQ(comma.values.size(), 1u);
  EXPECT_NE(comma.errors.find("line 2: field 2 holds more than one number: \"5 0\" (a decimal comma? write 0.5, not "
                              "0,5)"),
            std::string::npos)
      << comma.errors;
  auto const mixed = run_eval(dir, "quadobj", "1 2, " + halves.substr(halves.find(',') + 1) + "\n");
  EXPECT_NE(mixed.errors.find("line 1: field 1 holds more than one number: \"1 2\"\n"), std::string::npos) << mixed.errors;
}

// Nothing is printed for the bad line or after it, whichever thread read it.
TEST(ObjevalEval, ABadLineStopsTheRunAfterEveryGoodValue) {
  std::mt19937 random(9);
  std::string text;
  for (int n = 1; n <= 5000; ++n) text += (n == 4321 ? random_line(random, 49, " ") : random_line(random, 50, " ")) + "\n";
  scratch_dir dir;
  auto const one = run_eval(dir, "--threads 1 quadobj", text);
  for (char const* threads : {"--threads 2", "--threads 7"}) {
    auto const many = run_eval(dir, std::string(threads) + " quadobj", text);
    EXPECT_EQ(many.status, 1);
    EXPECT_EQ(many.values, one.values);
    EXPECT_EQ(many.errors, one.errors);
  }
  EXPECT_EQ(one.status, 1);
  EXPECT_EQ(one.values.size(), 4320u);
  EXPECT_NE(one.errors.find("line 4321: 50 numbers expected, found 49"), std::string::npos) << one.errors;

  auto const not_a_number = run_eval(dir, "quadobj", "\n" + random_line(random, 50, ",") + "\n1" + std::string(49, ',') + "\n");
  EXPECT_EQ(not_a_number.status, 1);
  EXPECT_EQ(not_a_number.values.size(), 1u);
  EXPECT_NE(not_a_number.errors.find("line 3: field 2 is empty"), std::string::npos) << not_a_number.errors;
  std::string other_fields;
  for (int n = 0; n < 49; ++n) other_fields += " 1";
  auto const text_field = run_eval(dir, "quadobj", "1.5x" + other_fields + "\n");
  EXPECT_NE(text_field.errors.find("line 1: field 1 is not a number: \"1.5x\""), std::string::npos);
  EXPECT_TRUE(text_field.values.empty());
}

// Short decimals take a quicker way through double: one rounding to double,
// then one to float, which is wrong only where the double lands exactly
// halfway between two floats. Decimals next to those halfway points, and
// decimals at the edges of the float range, must still read as the programs
// read them.
TEST(ObjevalEval, ShortDecimalsReadAsTheProgramsReadThem) {
  std::mt19937 random(12);
  std::uniform_int_distribution<std::uint32_t> bits(0, 0x7f7fffff);
  std::vector<std::string> texts = {"3.4028235e38", "3.40282357e38", "1.17549435e-38", "1.1754942e-38", "1e-40",
                                    "-0", "0.0", "9007199254740993", "1e22", "1e23", "123456789012345678e-22"};
  std::uniform_int_distribution<std::uint32_t> subnormal(1, 0x7fffff);
  for (int n = 0; n < 120000; ++n) {
    float const f = std::bit_cast<float>(n % 6 == 0 ? subnormal(random) : bits(random));
    double const halfway = static_cast<double>(f) + static_cast<double>(std::nextafter(f, INFINITY) - f) / 2;
    char text[40];
    for (char const* format : {"%.9g", "%.15g", "%.16g"}) {
      std::snprintf(text, sizeof text, format, n % 2 ? static_cast<double>(f) : halfway);
      texts.push_back(text);
    }
  }
  for (std::string const& text : texts) {
    float fast = 0, reference = 0;
    ASSERT_EQ(objeval::points_cli::read_point(text, std::span<float>(&fast, 1)), "") << text;
    objeval::value_files::memory_bytes bytes(text.data(), text.size());
    ASSERT_TRUE(objeval::value_files::scan_float(bytes, reference));
    ASSERT_EQ(std::bit_cast<std::uint32_t>(fast), std::bit_cast<std::uint32_t>(reference)) << text;
  }
}

TEST(ObjevalEval, RoundTripValuesReadBackToTheSameFloat) {
  std::mt19937 random(10);
  std::string text;
  for (int n = 0; n < 50; ++n) text += random_line(random, 50, " ") + "\n";
  scratch_dir dir;
  auto const fixed = run_eval(dir, "quadobj", text), exact = run_eval(dir, "--round-trip quadobj", text);
  ASSERT_EQ(exact.values.size(), 50u);
  for (std::size_t n = 0; n < 50; ++n) {
    char printed[64];
    std::snprintf(printed, sizeof printed, "%f", static_cast<double>(std::strtof(exact.values[n].c_str(), nullptr)));
    EXPECT_EQ(printed, fixed.values[n]);
  }
  EXPECT_EQ(run_eval(dir, "nosuchproblem", text).status, 2);
}

}  // namespace

namespace {

std::string points_text(int count, int seed) {
  std::mt19937 random(static_cast<unsigned>(seed));
  std::string text;
  for (int n = 0; n < count; ++n) text += random_line(random, 50, " ") + "\n";
  return text;
}

// A bad argument is named in the first line, with what was meant where that
// can be told, then one line points to --help: twenty lines of usage after
// "unknown option" buried what was wrong.
TEST(ObjevalEval, ABadArgumentIsNamedInOneLineThenHelp) {
  scratch_dir dir;
  struct {
    char const* arguments;
    char const* named;
  } const cases[] = {
      {"--thread 2 quadobj", "unknown option \"--thread\"; did you mean --threads?"},
      {"--roundtrip quadobj", "did you mean --round-trip?"},
      {"quadobj -q.txt", "unknown option \"-q.txt\"; a file whose name starts with '-' goes after \"--\""},
      {"QUADOBJ", "no such problem \"QUADOBJ\"; the problems are doorcost, quadobj"},
      {"--threads 2abc quadobj", "not \"2abc\""},
      {"quadobj extra", "is one too many"},
  };
  for (auto const& c : cases) {
    auto const run = run_eval(dir, c.arguments, "");
    EXPECT_EQ(run.status, 2) << c.arguments;
    std::string const first = run.errors.substr(0, run.errors.find('\n'));
    EXPECT_NE(first.find(c.named), std::string::npos) << first;
    EXPECT_EQ(run.errors.substr(first.size()), "\nTry 'objeval-eval --help' for more information.\n") << c.arguments;
  }
  auto const version = run_eval(dir, "--version", "");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.values, std::vector<std::string>{"objeval-eval " OBJEVAL_EXPECTED_VERSION});
}

// A count is digits and nothing else, in range: strtoul would take "2abc" as
// 2 and wrap 4294967298 round to 2.
// 0 is one per CPU, as in every other interface, and a count past the CPUs is lowered to them.
TEST(ObjevalEval, ThreadCountIsDigitsAndAnyCountWorks) {
  scratch_dir dir;
  std::string const text = points_text(20, 13);
  for (char const* bad : {"--threads 2abc", "--threads 1.5", "--threads -1", "--threads=", "--threads= 2"})
    EXPECT_EQ(run_eval(dir, std::string(bad) + " quadobj", text).status, 2) << bad;
  auto const one = run_eval(dir, "--threads 1 quadobj", text);
  ASSERT_EQ(one.status, 0);
  for (char const* count : {"--threads=2", "--threads 0", "--threads 257", "--threads 4294967298"})
    EXPECT_EQ(run_eval(dir, std::string(count) + " quadobj", text).values, one.values) << count;
}

// A field of megabytes, or with a NUL in it, must not flood standard error
// or cut the message short.
TEST(ObjevalEval, ABadFieldIsShownShortAndEscaped) {
  scratch_dir dir;
  std::string const huge = "1" + std::string(5 << 20, 'x');
  auto const long_field = run_eval(dir, "quadobj", huge + " 1\n");
  EXPECT_EQ(long_field.status, 1);
  EXPECT_LT(long_field.errors.size(), 200u);
  EXPECT_NE(long_field.errors.find("\"1xxxxxxxxx"), std::string::npos) << long_field.errors;
  EXPECT_NE(long_field.errors.find("(5242881 bytes)"), std::string::npos) << long_field.errors;

  auto const control = run_eval(dir, "quadobj", std::string("2\0x\x01\"\\", 6) + " 1\n");
  EXPECT_NE(control.errors.find("field 1 is not a number: \"2\\x00x\\x01\\\"\\\\\"\n"), std::string::npos)
      << control.errors;
}

// Spreadsheets write a byte-order mark, and CSV files column names: neither
// is a point, and the lines are still counted as the file has them. A
// comment longer than a chunk of input is read whole.
TEST(ObjevalEval, ByteOrderMarkAndHeaderAreSkipped) {
  scratch_dir dir;
  std::string const points = points_text(30, 14);
  auto const plain = run_eval(dir, "quadobj", points);
  ASSERT_EQ(plain.status, 0);
  std::string header = "x0";
  for (int n = 1; n < 50; ++n) header += ",x" + std::to_string(n);
  std::string const preamble = "\xef\xbb\xbf# exported\n\n#" + std::string(9 << 20, '-') + "\n" + header + "\n";
  for (char const* threads : {"--threads 1", "--threads 2"}) {
    auto const with_header = run_eval(dir, std::string(threads) + " --header quadobj", preamble + points);
    EXPECT_EQ(with_header.status, 0) << with_header.errors;
    EXPECT_EQ(with_header.values, plain.values);
  }
  auto const without = run_eval(dir, "quadobj", preamble + points);
  EXPECT_NE(without.errors.find("line 4: field 1 is not a number: \"x0\""), std::string::npos) << without.errors;
  auto const bad_later = run_eval(dir, "--header quadobj", preamble + points + "1 2\n");
  EXPECT_NE(bad_later.errors.find("line 35: 50 numbers expected, found 2"), std::string::npos) << bad_later.errors;
}

// One rule for commas: a comma separates two fields, so a leading, a doubled
// and a trailing one each leave an empty field.
TEST(ObjevalEval, EveryEmptyFieldIsABadLine) {
  scratch_dir dir;
  std::mt19937 random(15);
  std::string const csv = random_line(random, 50, ",");
  auto const good = run_eval(dir, "quadobj", csv + "\n" + csv + " \n");
  EXPECT_EQ(good.status, 0) << good.errors;
  EXPECT_EQ(good.values.size(), 2u);
  for (auto const& [line, message] : {std::pair{"," + csv, "field 1 is empty"},
                                      std::pair{csv + ",", "field 51 is empty"},
                                      std::pair{csv + " , ", "field 51 is empty"},
                                      std::pair{csv.substr(0, csv.find(',')) + "," + csv.substr(csv.find(',')), "field 2 is empty"}}) {
    auto const bad = run_eval(dir, "quadobj", csv + "\n" + line + "\n");
    EXPECT_EQ(bad.status, 1) << line;
    EXPECT_EQ(bad.values.size(), 1u);
    EXPECT_NE(bad.errors.find(std::string("line 2: ") + message), std::string::npos) << bad.errors;
  }
}

// Old spreadsheet exports end their lines in a lone "\r": one point a line,
// and a bad line still has its own number.
TEST(ObjevalEval, LinesMayEndInALoneCarriageReturn) {
  scratch_dir dir;
  std::string const points = points_text(40, 16);
  auto const plain = run_eval(dir, "quadobj", points);
  std::string mac = points, dos;
  for (char& c : mac) c = c == '\n' ? '\r' : c;
  for (char const c : points) dos += c == '\n' ? std::string("\r\n") : std::string(1, c);
  for (std::string const& text : {mac, dos, mac.substr(0, mac.size() - 1)}) {
    auto const run = run_eval(dir, "quadobj", text);
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.values, plain.values);
  }
  auto const bad = run_eval(dir, "quadobj", mac + "1 2\r");
  EXPECT_NE(bad.errors.find("line 41: 50 numbers expected, found 2"), std::string::npos) << bad.errors;
}

// A pause with no whole line held has nothing to answer: the reader waits
// on. Ending the chunk there copied the line so far into the next chunk and
// searched it again, at every pause: a 32 MB first line took 15 s through a
// pipe, 0.5 s from a file.
TEST(ObjevalEval, AFirstLineWrittenSlowlyIsReadInOneChunk) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  std::string const blanks(100'000, ' '), line = blanks + blanks + blanks + "1\n";
  std::thread writer([&] {
    for (std::size_t at = 0; at < line.size(); at += blanks.size()) {
      std::string_view const piece = std::string_view(line).substr(at, blanks.size());
      EXPECT_EQ(write(ends[1], piece.data(), piece.size()), static_cast<ssize_t>(piece.size()));
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    close(ends[1]);
  });
  objeval::points_cli::input_source in{ends[0], "a pipe"};
  objeval::points_cli::input_chunk chunk;
  objeval::points_cli::read_chunk(in, {}, std::size_t{1} << 18, true, false, chunk);
  for (char rest[1 << 16]; read(ends[0], rest, sizeof rest) > 0;) {
  }
  writer.join();
  close(ends[0]);
  EXPECT_EQ(chunk.lines(), line);
}

// A line with no end must not grow memory without bound: past 64 MiB it is
// a bad line, with every value before it printed.
TEST(ObjevalEval, ALineLongerThan64MiBIsABadLine) {
  scratch_dir dir;
  std::string const points = points_text(3, 17);
  std::string const huge = points + std::string(100 << 20, '7') + "\n" + points;
  for (char const* threads : {"--threads 1", "--threads 2"}) {
    auto const run = run_eval(dir, std::string(threads) + " quadobj", huge);
    EXPECT_EQ(run.status, 1) << threads;
    EXPECT_EQ(run.values.size(), 3u);
    EXPECT_NE(run.errors.find("line 4: longer than 64 MiB"), std::string::npos) << run.errors;
  }
}

// `--` ends the options, so that a file may be named like one.
TEST(ObjevalEval, DoubleDashEndsTheOptions) {
  scratch_dir dir;
  std::string const points = points_text(5, 18);
  dir.write("-x", points);
  std::string const command = "cd " + dir.path().string() + " && " + OBJEVAL_EVAL_PROGRAM + " --threads 1 -- quadobj -x >values.txt 2>errors.txt";
  int const status = std::system(command.c_str());
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << dir.read("errors.txt").value_or("");
  auto const plain = run_eval(dir, "quadobj", points);
  std::string joined;
  for (auto const& v : plain.values) joined += v + "\n";
  EXPECT_EQ(dir.read("values.txt").value_or(""), joined);
}

// An input that opens but cannot be read names itself and gives status 2,
// as a FILE that cannot be opened does.
TEST(ObjevalEval, AnUnreadableInputIsNamedWithStatusTwo) {
  scratch_dir dir;
  struct case_ {
    std::string redirect;
    std::string message;
  };
  for (case_ const& c : {case_{" < " + dir.path().string(), "cannot read standard input: Is a directory"},
                         case_{" /proc/self/mem", "cannot read /proc/self/mem: Input/output error"},
                         case_{" <&-", "cannot read standard input: Bad file descriptor"}}) {
    std::string const command = std::string(OBJEVAL_EVAL_PROGRAM) + " quadobj" + c.redirect + " 2>" +
                                (dir / "errors.txt").string() + " >/dev/null";
    int const status = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 2) << c.redirect;
    std::string const errors = dir.read("errors.txt").value_or("");
    EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
  }
}

TEST(ObjevalEval, ADirectoryIsReportedLikeAMissingFile) {
  scratch_dir dir;
  std::string const command = std::string(OBJEVAL_EVAL_PROGRAM) + " quadobj " + dir.path().string() + " 2>" +
                              (dir / "errors.txt").string() + " >/dev/null";
  int const status = std::system(command.c_str());
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 2);
  std::string const errors = dir.read("errors.txt").value_or("");
  EXPECT_NE(errors.find("cannot open " + dir.path().string() + ": Is a directory"), std::string::npos) << errors;
}

}  // namespace
