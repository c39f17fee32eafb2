// SPDX-License-Identifier: MIT
#include "program_run.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

extern char** environ;

namespace testing_support {

namespace {

std::system_error os_error(char const* what) { return {errno, std::generic_category(), what}; }

std::vector<std::string> merged_environment(std::vector<std::string> const& overrides) {
  std::vector<std::string> result;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    std::string const current = *entry;
    std::string const key = current.substr(0, current.find('=') + 1);
    bool overridden = false;
    for (auto const& o : overrides) overridden = overridden || o.starts_with(key);
    if (!overridden) result.push_back(current);
  }
  result.insert(result.end(), overrides.begin(), overrides.end());
  return result;
}

std::vector<char*> c_strings(std::vector<std::string>& strings) {
  std::vector<char*> result;
  for (auto& s : strings) result.push_back(s.data());
  result.push_back(nullptr);
  return result;
}

}  // namespace

scratch_dir::scratch_dir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "objeval-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw os_error("mkdtemp");
  path_ = pattern;
}

scratch_dir::~scratch_dir() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

void scratch_dir::write(std::string const& name, std::string const& content) const {
  std::ofstream(path_ / name, std::ios::binary) << content;
}

std::optional<std::string> scratch_dir::read(std::string const& name) const {
  if (!std::filesystem::is_regular_file(path_ / name)) return std::nullopt;
  std::ifstream in(path_ / name, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

running_program start_program(std::filesystem::path const& program, std::filesystem::path const& dir,
                              std::vector<std::string> const& environment_overrides,
                              std::vector<std::string> const& arguments) {
  int pipe_ends[2];
  if (pipe2(pipe_ends, O_CLOEXEC) != 0) throw os_error("pipe2");
  std::string error_path = (std::filesystem::temp_directory_path() / "objeval-stderr-XXXXXX").string();
  int const error_fd = mkostemp(error_path.data(), O_CLOEXEC);
  if (error_fd < 0) throw os_error("mkostemp");
  unlink(error_path.c_str());

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, error_fd, STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipe_ends[0]);
  posix_spawn_file_actions_addclose(&actions, pipe_ends[1]);
  posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());

  std::vector<std::string> argv_strings{program.string()};
  argv_strings.insert(argv_strings.end(), arguments.begin(), arguments.end());
  std::vector<std::string> env_strings = merged_environment(environment_overrides);
  auto argv = c_strings(argv_strings);
  auto envp = c_strings(env_strings);

  pid_t pid = 0;
  int const spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_ends[1]);
  if (spawned != 0) {
    close(pipe_ends[0]);
    close(error_fd);
    throw std::system_error(spawned, std::generic_category(), "posix_spawn");
  }

  return {pid, pipe_ends[0], error_fd};
}

program_run running_program::wait() {
  program_run run;
  char buffer[4096];
  for (ssize_t n; (n = read(stdout_fd_, buffer, sizeof buffer)) > 0;)
    run.stdout_text.append(buffer, static_cast<std::size_t>(n));
  close(stdout_fd_);

  int status = 0;
  if (waitpid(pid_, &status, 0) != pid_) throw os_error("waitpid");
  if (WIFEXITED(status)) run.exit_status = WEXITSTATUS(status);
  for (ssize_t n; (n = pread(stderr_fd_, buffer, sizeof buffer, static_cast<off_t>(run.stderr_text.size()))) > 0;)
    run.stderr_text.append(buffer, static_cast<std::size_t>(n));
  close(stderr_fd_);
  return run;
}

}  // namespace testing_support
