// SPDX-License-Identifier: MIT
// Times whole commands by alternating them one run at a time: start one,
// wait for it, start the next. On a virtual machine the cost of starting a
// process drifts by half and more from one moment to the next; commands run
// in blocks see different machines, commands run in turn see the same one.
//
//   alternate_runs ROUNDS NAME=COMMAND [NAME=COMMAND...]
//
// COMMAND is split at spaces and run without a shell, its output thrown
// away. Prints, for each command, the median and the fastest run, and the
// median over rounds of its time divided by the first command's.
#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct command {
  std::string name;
  std::vector<std::string> words;
  std::vector<double> seconds;
};

double run_once(command const& c, posix_spawn_file_actions_t const* quiet) {
  std::vector<char*> argv;
  for (std::string const& w : c.words) argv.push_back(const_cast<char*>(w.c_str()));
  argv.push_back(nullptr);
  auto const start = std::chrono::steady_clock::now();
  pid_t pid;
  if (posix_spawn(&pid, argv[0], quiet, nullptr, argv.data(), environ) != 0) {
    std::fprintf(stderr, "alternate_runs: cannot start %s\n", argv[0]);
    std::exit(1);
  }
  int status;
  waitpid(pid, &status, 0);
  double const seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "alternate_runs: %s failed\n", c.name.c_str());
    std::exit(1);
  }
  return seconds;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

std::string microseconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, seconds < 0.01 ? "%.0f µs" : "%.1f ms", seconds < 0.01 ? seconds * 1e6 : seconds * 1e3);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: alternate_runs ROUNDS NAME=COMMAND [NAME=COMMAND...]\n");
    return 2;
  }
  auto const rounds = static_cast<std::size_t>(std::max(1, std::atoi(argv[1])));
  std::vector<command> commands;
  for (int n = 2; n < argc; ++n) {
    std::string const argument = argv[n];
    std::size_t const equals = argument.find('=');
    command c{argument.substr(0, equals), {}, {}};
    std::istringstream words(argument.substr(equals + 1));
    for (std::string w; words >> w;) c.words.push_back(w);
    commands.push_back(c);
  }
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  for (command const& c : commands) run_once(c, &quiet);  // warm the page cache
  for (std::size_t r = 0; r < rounds; ++r)
    for (std::size_t k = 0; k < commands.size(); ++k) {
      command& c = commands[r % 2 ? commands.size() - 1 - k : k];
      c.seconds.push_back(run_once(c, &quiet));
    }
  std::printf("| command | median | fastest | to %s, median over rounds |\n|---|---:|---:|---:|\n",
              commands[0].name.c_str());
  for (command const& c : commands) {
    std::vector<double> ratios;
    for (std::size_t r = 0; r < rounds; ++r) ratios.push_back(c.seconds[r] / commands[0].seconds[r]);
    std::printf("| %s | %s | %s | %.2f |\n", c.name.c_str(), microseconds(median(c.seconds)).c_str(),
                microseconds(*std::min_element(c.seconds.begin(), c.seconds.end())).c_str(), median(ratios));
  }
}
