// SPDX-License-Identifier: MIT
// The threads a batch shares its work with respect their host: as many as
// the process may use, placed inside its mask, deaf to its signals, and
// joined before an error returns.
#include "threads/cpu_quota.hpp"
#include "threads/placement.hpp"
#include "threads/run_together.hpp"

#include <objeval/quadobj.hpp>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <dirent.h>
#include <sched.h>
#include <unistd.h>
#endif

namespace {

// Containers and slices state their CPUs as a quota; threads past it only queue.
TEST(Threads, CgroupQuotasReadAsCpusRoundedUp) {
  EXPECT_EQ(objeval::cpu_max_cpus("max 100000\n"), 0u);
  EXPECT_EQ(objeval::cpu_max_cpus("200000 100000\n"), 2u);
  EXPECT_EQ(objeval::cpu_max_cpus("150000 100000"), 2u);
  EXPECT_EQ(objeval::cpu_max_cpus("50000 100000"), 1u);
  EXPECT_EQ(objeval::cpu_max_cpus(""), 0u);
  EXPECT_EQ(objeval::quota_cpus(-1, 100000), 0u);  // cgroup v1's "no quota"
  EXPECT_EQ(objeval::tighter(0, 3), 3u);
  EXPECT_EQ(objeval::tighter(4, 3), 3u);

  std::string_view const hybrid = "12:memory:/a\n4:cpu,cpuacct:/docker/abc\n0::/user.slice/x.scope\n";
  EXPECT_EQ(objeval::cgroup_path(hybrid, ""), "/user.slice/x.scope");
  EXPECT_EQ(objeval::cgroup_path(hybrid, "cpu"), "/docker/abc");
  EXPECT_EQ(objeval::cgroup_path(hybrid, "cpuset"), "");
}

#if defined(__linux__)
cpu_set_t cpus(std::initializer_list<int> list) {
  cpu_set_t set;
  CPU_ZERO(&set);
  for (int const cpu : list) CPU_SET(cpu, &set);
  return set;
}

// A helper on the caller's CPU may wait there until the caller is done; a
// helper outside the mask is where the host said not to run.
TEST(Threads, HelpersGoToTheCallersOtherCpusCountingOnFromItsOwn) {
  cpu_set_t const allowed = cpus({0, 2, 5});
  EXPECT_EQ(objeval::helper_cpu(allowed, 2, 0), 5);
  EXPECT_EQ(objeval::helper_cpu(allowed, 2, 1), 0);
  EXPECT_EQ(objeval::helper_cpu(allowed, 2, 2), 5);   // more helpers than CPUs: round again
  EXPECT_EQ(objeval::helper_cpu(allowed, 7, 0), 0);   // the caller outside its mask: all of it
  EXPECT_EQ(objeval::helper_cpu(allowed, -1, 1), 2);  // the caller's CPU unknown: all of it
  cpu_set_t const alone = cpus({3});
  EXPECT_EQ(objeval::helper_cpu(alone, 3, 0), -1);  // nowhere else to go: left to the kernel
  cpu_set_t const wide = cpus({0, 1, 2, 3, 4, 5, 6, 7});
  for (int here = 0; here < 8; ++here)
    for (std::size_t index = 0; index < 9; ++index) {
      int const cpu = objeval::helper_cpu(allowed, here, index);
      EXPECT_TRUE(cpu == -1 || CPU_ISSET(cpu, &allowed)) << here << " " << index;
      EXPECT_NE(objeval::helper_cpu(wide, here, index), here);
    }
}

// The processes of a pool, each asking for two threads, must not all bind
// their helper to the mask's first CPU.
TEST(Threads, ProcessesOnDifferentCpusBindTheirHelpersApart) {
  cpu_set_t const four = cpus({0, 1, 2, 3});
  EXPECT_NE(objeval::helper_cpu(four, 0, 0), objeval::helper_cpu(four, 2, 0));
  EXPECT_NE(objeval::helper_cpu(four, 1, 0), objeval::helper_cpu(four, 3, 0));
  std::vector<int> helpers;
  for (int here = 0; here < 4; ++here) helpers.push_back(objeval::helper_cpu(four, here, 0));
  std::sort(helpers.begin(), helpers.end());
  EXPECT_EQ(helpers, (std::vector<int>{0, 1, 2, 3}));  // four callers, four different helpers
}

class OneCpu : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(sched_getaffinity(0, sizeof before_, &before_), 0);
    cpu_set_t const one = cpus({sched_getcpu()});
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  }
  void TearDown() override { sched_setaffinity(0, sizeof before_, &before_); }
  cpu_set_t before_;
};

// Under `taskset -c 0`, "one per core" is one, and so is any larger count.
TEST_F(OneCpu, OnePerCpuMeansOneUnderAOneCpuMask) {
  EXPECT_EQ(objeval::thread_count(0), 1u);
  EXPECT_EQ(objeval::thread_count(100000), 1u);
  EXPECT_EQ(objeval::thread_count(1), 1u);
}
#endif

TEST(Threads, EveryCountIsLoweredToTheUsableCpus) {
  unsigned const usable = objeval::thread_placement().usable();
  EXPECT_GE(usable, 1u);
  EXPECT_EQ(objeval::thread_count(0), usable);
  EXPECT_EQ(objeval::thread_count(100000), usable);
  EXPECT_EQ(objeval::thread_count(4'000'000'000u), usable);
}

// Asking for 100,000 threads once started and joined thousands a call.
TEST(Threads, AHugeCountCostsAboutWhatTwoCost) {
  std::vector<float> points(20000 * objeval::quadobj::dimension, 0.25f), values(20000);
  auto const time = [&](unsigned threads) {
    auto best = std::chrono::steady_clock::duration::max();
    for (int round = 0; round < 5; ++round) {
      auto const start = std::chrono::steady_clock::now();
      objeval::quadobj::objective_batch(points, values, threads);
      best = std::min(best, std::chrono::steady_clock::now() - start);
    }
    return std::chrono::duration<double>(best).count();
  };
  double const two = time(2);
  double const huge = time(100000);
  EXPECT_LT(huge, 1.5 * two + 0.002) << "2 threads " << two << " s, 100,000 asked " << huge << " s";
}

#if defined(__linux__)
// Which signals a thread of this process blocks, from /proc.
std::string blocked_signals(std::string const& task) {
  std::ifstream status("/proc/self/task/" + task + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("SigBlk:", 0) == 0) return line.substr(7);
  return {};
}

// SIGINT in Python, the JVM's own signals: the host's threads handle them.
TEST(Threads, HelpersBlockEverySignal) {
  std::atomic<int> arrived{0};
  std::atomic<bool> checked{false};
  std::vector<std::string> masks;
  objeval::run_together(2, [&] {
    arrived.fetch_add(1);
    while (arrived.load() < 2) std::this_thread::yield();
    if (gettid() == getpid()) {
      DIR* tasks = opendir("/proc/self/task");
      for (dirent* entry; tasks != nullptr && (entry = readdir(tasks)) != nullptr;) {
        std::string const task = entry->d_name;
        if (task != "." && task != ".." && task != std::to_string(getpid())) masks.push_back(blocked_signals(task));
      }
      if (tasks != nullptr) closedir(tasks);
      checked = true;
    }
    while (!checked.load()) std::this_thread::yield();
  });
  ASSERT_TRUE(checked.load()) << "the test ran off the main thread";
  ASSERT_FALSE(masks.empty());
  for (std::string const& mask : masks) {
    unsigned long long const bits = std::strtoull(mask.c_str(), nullptr, 16);
    EXPECT_TRUE(bits & (1ull << (SIGINT - 1))) << "SigBlk:" << mask;
    EXPECT_TRUE(bits & (1ull << (SIGTERM - 1))) << "SigBlk:" << mask;
  }
}
#endif

// A throwing task must not unwind the caller's frame while a helper still
// works on the state it shares.
TEST(Threads, AnErrorReachesTheCallerOnlyAfterEveryThreadIsDone) {
  for (std::size_t const threads : {std::size_t{2}, std::size_t{5}}) {
    std::atomic<int> started{0}, finished{0};
    EXPECT_THROW(objeval::run_together(threads, [&] {
      int const me = started.fetch_add(1);
      if (me == 0) throw std::runtime_error("the first task fails");
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      finished.fetch_add(1);
    }), std::runtime_error);
    EXPECT_EQ(finished.load(), started.load() - 1) << threads << " threads";
  }
}

}  // namespace
