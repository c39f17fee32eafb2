// SPDX-License-Identifier: MIT
// A cgroup's CPU quota, as a number of CPUs: a container or a systemd slice
// may allow a process fewer CPUs' worth of time than its affinity mask
// holds, and threads beyond the quota only wait for their turn.
#pragma once

#include <charconv>
#include <cstddef>
#include <string>
#include <string_view>

#if defined(__linux__)
#include <fcntl.h>
#include <unistd.h>
#endif

namespace objeval {

// CPUs' worth of `quota` time in each `period`, rounded up; 0 for no limit.
inline unsigned quota_cpus(long long quota, long long period) noexcept {
  if (quota <= 0 || period <= 0) return 0;
  long long const cpus = (quota + period - 1) / period;
  return cpus > 65536 ? 0 : static_cast<unsigned>(cpus);
}

inline long long leading_number(std::string_view text, std::size_t& at) noexcept {
  while (at < text.size() && (text[at] == ' ' || text[at] == '\n')) ++at;
  long long value = 0;
  auto const [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), value);
  if (error != std::errc()) return -1;
  at = static_cast<std::size_t>(end - text.data());
  return value;
}

// cgroup v2's cpu.max: "max 100000" (no limit) or "QUOTA PERIOD".
inline unsigned cpu_max_cpus(std::string_view cpu_max) noexcept {
  std::size_t at = 0;
  long long const quota = leading_number(cpu_max, at);
  long long const period = leading_number(cpu_max, at);
  return quota_cpus(quota, period);
}

// The smaller of two limits, 0 being none.
inline unsigned tighter(unsigned a, unsigned b) noexcept { return a == 0 ? b : b == 0 ? a : (a < b ? a : b); }

// The cgroup of this process for `controller` ("" for cgroup v2's unified
// hierarchy), from /proc/self/cgroup's lines "ID:CONTROLLERS:PATH"; empty if
// there is none.
inline std::string_view cgroup_path(std::string_view proc_self_cgroup, std::string_view controller) noexcept {
  while (!proc_self_cgroup.empty()) {
    std::size_t const end = proc_self_cgroup.find('\n');
    std::string_view line = proc_self_cgroup.substr(0, end);
    proc_self_cgroup.remove_prefix(end == std::string_view::npos ? proc_self_cgroup.size() : end + 1);
    std::size_t const first = line.find(':'), second = first == std::string_view::npos ? first : line.find(':', first + 1);
    if (second == std::string_view::npos) continue;
    std::string_view controllers = line.substr(first + 1, second - first - 1);
    std::string_view const path = line.substr(second + 1);
    if (controller.empty()) {
      if (controllers.empty()) return path;
      continue;
    }
    while (!controllers.empty()) {
      std::size_t const comma = controllers.find(',');
      if (controllers.substr(0, comma) == controller) return path;
      controllers.remove_prefix(comma == std::string_view::npos ? controllers.size() : comma + 1);
    }
  }
  return {};
}

#if defined(__linux__)
// A small file's text, or empty.
inline std::string read_small_file(std::string const& path) {
  std::string text;
  int const fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char buffer[4096];
  for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0 && text.size() < 65536;)
    text.append(buffer, static_cast<std::size_t>(got));
  ::close(fd);
  return text;
}

// The quota of this process's cgroups, in CPUs: the tightest along the path
// to the root, v2 or v1; 0 for none.
inline unsigned read_cgroup_cpu_quota() {
  std::string const self = read_small_file("/proc/self/cgroup");
  unsigned cpus = 0;
  if (std::string_view const v2 = cgroup_path(self, ""); !v2.empty()) {
    std::string dir = "/sys/fs/cgroup" + std::string(v2);
    for (;;) {
      if (std::string const max = read_small_file(dir + "/cpu.max"); !max.empty()) cpus = tighter(cpus, cpu_max_cpus(max));
      std::size_t const slash = dir.rfind('/');
      if (dir.size() <= std::string_view("/sys/fs/cgroup").size() || slash == std::string::npos) break;
      dir.resize(slash);
    }
  }
  if (std::string_view const v1 = cgroup_path(self, "cpu"); !v1.empty()) {
    // Inside a container the hierarchy's root may be the process's own cgroup.
    for (std::string const& dir : {"/sys/fs/cgroup/cpu" + std::string(v1), std::string("/sys/fs/cgroup/cpu")}) {
      std::string const quota = read_small_file(dir + "/cpu.cfs_quota_us");
      std::string const period = read_small_file(dir + "/cpu.cfs_period_us");
      if (quota.empty() || period.empty()) continue;
      std::size_t at = 0, at_period = 0;
      cpus = tighter(cpus, quota_cpus(leading_number(quota, at), leading_number(period, at_period)));
      break;
    }
  }
  return cpus;
}

// Read once per process: quotas are set when a container or a slice starts.
inline unsigned cgroup_cpu_quota() noexcept {
  static unsigned const cpus = [] {
    try {
      return read_cgroup_cpu_quota();
    } catch (...) {
      return 0u;
    }
  }();
  return cpus;
}
#else
inline unsigned cgroup_cpu_quota() noexcept { return 0; }
#endif

}  // namespace objeval
