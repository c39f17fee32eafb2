// SPDX-License-Identifier: MIT
// objeval-eval kept as a coprocess: a caller writes one line, waits for its
// value, and only then writes the next. Every wait is bounded, so a program
// that holds a value back fails the test instead of hanging it.
#include "program_run.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace {

using testing_support::scratch_dir;

class coprocess {
 public:
  explicit coprocess(std::vector<std::string> arguments, bool ignore_sigpipe = false) {
    int to[2], from[2], errors[2];
    if (pipe2(to, O_CLOEXEC) != 0 || pipe2(from, O_CLOEXEC) != 0 || pipe2(errors, O_CLOEXEC) != 0) std::abort();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, to[0], 0);
    posix_spawn_file_actions_adddup2(&actions, from[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errors[1], 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    if (ignore_sigpipe) signal(SIGPIPE, SIG_IGN);  // inherited by the child, as from a host that ignores it
    sigaddset(&signals, SIGPIPE);
    if (!ignore_sigpipe) {
      posix_spawnattr_setsigdefault(&attributes, &signals);
      posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    }
    arguments.insert(arguments.begin(), OBJEVAL_EVAL_PROGRAM);
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), environ), 0);
    if (ignore_sigpipe) signal(SIGPIPE, SIG_DFL);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(to[0]);
    close(from[1]);
    close(errors[1]);
    in_ = to[1];
    out_ = from[0];
    errors_ = errors[0];
  }
  ~coprocess() {
    close_input();
    close_output();
    if (pid_ > 0) finish();
    close(errors_);
  }

  void write_text(std::string const& text) {
    ASSERT_EQ(write(in_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  // The next line of output, or "<none>" if none comes within the time.
  std::string read_line(int milliseconds = 10000) {
    for (;;) {
      if (std::size_t const end = held_.find('\n'); end != std::string::npos) {
        std::string line = held_.substr(0, end);
        held_.erase(0, end + 1);
        return line;
      }
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, milliseconds) <= 0) return "<none>";
      char buffer[4096];
      ssize_t const got = read(out_, buffer, sizeof buffer);
      if (got <= 0) return "<none>";
      held_.append(buffer, static_cast<std::size_t>(got));
    }
  }
  void close_input() {
    if (in_ >= 0) close(in_);
    in_ = -1;
  }
  void close_output() {
    if (out_ >= 0) close(out_);
    out_ = -1;
  }
  // The exit status (128 + N for a signal), waiting at most ten seconds.
  int finish() {
    int status = 0;
    for (int tenths = 0; tenths < 100; ++tenths) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      usleep(100000);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return -1;  // it hung
  }
  std::string errors() {
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = read(errors_, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(got));
    return text;
  }

 private:
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1, errors_ = -1;
  std::string held_;
};

std::string point_line(std::mt19937& random, int count) {
  std::uniform_real_distribution<double> value(-3, 3);
  std::string line;
  for (int n = 0; n < count; ++n) {
    char text[32];
    std::snprintf(text, sizeof text, "%s%.9g", n == 0 ? "" : " ", value(random));
    line += text;
  }
  return line + "\n";
}

std::string program_value(char const* program, std::string const& point) {
  scratch_dir dir;
  dir.write("input.txt", point);
  EXPECT_EQ(testing_support::run_program(program, dir.path()).exit_status, 0);
  return dir.read("output.txt").value_or("<none>");
}

// A sequential optimiser sends the next point only once it has the last
// value: a value held back for more input is a deadlock.
TEST(ObjevalEvalCoprocess, EachLineIsAnsweredBeforeTheNextIsWritten) {
  std::mt19937 random(21);
  for (char const* threads : {"1", "2", "0", "7"}) {
    for (auto const& [problem, program, count] :
         {std::tuple{"quadobj", QUADOBJ_PROGRAM, 50}, std::tuple{"doorcost", DOORCOST_PROGRAM, 240}}) {
      coprocess eval({"--threads", threads, problem});
      for (int n = 0; n < 4; ++n) {
        std::string const line = point_line(random, count);
        eval.write_text(n == 1 ? "# a comment, then a blank line\n\n" + line : line);
        EXPECT_EQ(eval.read_line(), program_value(program, line)) << problem << " with " << threads << " threads";
      }
      eval.write_text("1 2 3");  // half a line: nothing to answer yet
      EXPECT_EQ(eval.read_line(200), "<none>");
      eval.close_input();
      EXPECT_EQ(eval.read_line(), "<none>");  // the rest of that line is a bad line
      EXPECT_EQ(eval.finish(), 1);
    }
  }
}

TEST(ObjevalEvalCoprocess, ClosingTheInputEndsItWithStatusZero) {
  coprocess eval({"quadobj"});
  std::string line = "1";
  for (int n = 1; n < 50; ++n) line += " 0";
  eval.write_text(line + "\r");
  EXPECT_EQ(eval.read_line(), "21.315977");  // a lone "\r" ends a line too
  eval.close_input();
  EXPECT_EQ(eval.finish(), 0);
  EXPECT_EQ(eval.errors(), "");
}

TEST(ObjevalEvalCoprocess, ABadLineEndsItAfterEveryEarlierValue) {
  coprocess eval({"quadobj"});
  eval.write_text("0\n");
  EXPECT_EQ(eval.read_line(), "<none>");  // one number is a bad line: no value, the end
  EXPECT_EQ(eval.finish(), 1);
  EXPECT_NE(eval.errors().find("line 1: 50 numbers expected, found 1"), std::string::npos);
}

// The caller went away: the program must end, quietly, and not spin on a
// pipe that nobody reads.
TEST(ObjevalEvalCoprocess, AClosedOutputEndsItQuietlyWithAFailure) {
  for (bool const ignore_sigpipe : {false, true}) {
    coprocess eval({"quadobj"}, ignore_sigpipe);
    eval.close_output();
    std::string zeros = "0";
    for (int n = 1; n < 50; ++n) zeros += " 0";
    eval.write_text(zeros + "\n");
    int const status = eval.finish();
    EXPECT_NE(status, 0) << (ignore_sigpipe ? "SIGPIPE ignored" : "SIGPIPE");
    EXPECT_NE(status, -1) << "it hung";
    EXPECT_EQ(eval.errors(), "");
  }
}

}  // namespace
