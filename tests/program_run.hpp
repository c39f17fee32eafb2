// SPDX-License-Identifier: MIT
// Runs a built program as a caller would: in a directory of its own, with no
// arguments, capturing its standard output, standard error and exit status.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

class scratch_dir {
 public:
  scratch_dir();
  ~scratch_dir();
  scratch_dir(scratch_dir const&) = delete;
  scratch_dir& operator=(scratch_dir const&) = delete;

  std::filesystem::path const& path() const { return path_; }
  std::filesystem::path operator/(std::string const& name) const { return path_ / name; }

  void write(std::string const& name, std::string const& content) const;
  std::optional<std::string> read(std::string const& name) const;

 private:
  std::filesystem::path path_;
};

struct program_run {
  int exit_status = -1;  // -1 unless the program exited normally
  std::string stdout_text;
  std::string stderr_text;
};

// A started program; wait() collects its output and exit status.
class running_program {
 public:
  running_program(int pid, int stdout_fd, int stderr_fd) : pid_(pid), stdout_fd_(stdout_fd), stderr_fd_(stderr_fd) {}
  program_run wait();

 private:
  int pid_;
  int stdout_fd_;
  int stderr_fd_;  // a file of its own, read once the program has ended
};

running_program start_program(std::filesystem::path const& program, std::filesystem::path const& dir,
                              std::vector<std::string> const& environment_overrides = {},
                              std::vector<std::string> const& arguments = {});

inline program_run run_program(std::filesystem::path const& program, std::filesystem::path const& dir,
                               std::vector<std::string> const& environment_overrides = {},
                               std::vector<std::string> const& arguments = {}) {
  return start_program(program, dir, environment_overrides, arguments).wait();
}

}  // namespace testing_support
