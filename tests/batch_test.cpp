// SPDX-License-Identifier: MIT
// The batch functions must give every point the very bits of the one-point
// function, whatever the point holds and wherever it sits in a block.
#include "float_bits.hpp"
#include "problems/table.hpp"
#include "threads/placement.hpp"

#include <objeval/doorcost.hpp>
#include <objeval/quadobj.hpp>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <span>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using testing_support::hex;

constexpr std::array<std::uint32_t, 14> special_bits{
    0x00000000, 0x80000000,              // +0, -0
    0x7f800000, 0xff800000,              // +inf, -inf
    0x7fc00000, 0xffc00000, 0x7fa00001,  // NaNs of both signs, a signalling payload
    0x00000001, 0x807fffff,              // subnormals
    0x7f7fffff, 0xff7fffff,              // +-FLT_MAX
    0x3f800000, 0x5e000000, 0x1e000000,  // 1, 2^61, 2^-67
};

// Random values, with a share of the slots replaced by special values.
std::vector<float> points(std::size_t count, std::size_t values, double special_share, unsigned seed) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<float> value(-4.0f, 4.0f);
  std::bernoulli_distribution special(special_share);
  std::uniform_int_distribution<std::size_t> which(0, special_bits.size() - 1);
  std::vector<float> result(count * values);
  for (float& v : result) v = special(engine) ? std::bit_cast<float>(special_bits[which(engine)]) : value(engine);
  return result;
}

// Each problem of the table: every batch value has the one-point bits.
void expect_batch_matches_one_by_one(objeval::problem_entry const& problem, std::vector<float> const& all) {
  std::size_t const d = problem.info.dimension, count = all.size() / d;
  std::vector<float> batched(count);
  problem.batch(all.data(), count, batched.data(), 1);
  for (std::size_t p = 0; p < count; ++p) {
    float const single = problem.one(all.data() + p * d);
    ASSERT_EQ(std::bit_cast<std::uint32_t>(batched[p]), std::bit_cast<std::uint32_t>(single))
        << problem.info.name << ", point " << p << " of " << count << ": batch " << hex(batched[p]) << ", one "
        << hex(single);
  }
}

// Every count up to a block of the widest version and past it, then around
// two, three and four blocks of the versions' widths (12 to 64 points): a
// block filled while the one before it is summed, or left partial, or not
// there at all, must not disturb any point.
std::vector<unsigned> block_position_counts() {
  std::vector<unsigned> counts;
  for (unsigned count = 1; count <= 70; ++count) counts.push_back(count);
  for (unsigned blocks : {96u, 128u, 144u, 192u})
    for (unsigned count = blocks - 1; count <= blocks + 1; ++count) counts.push_back(count);
  return counts;
}

TEST(Batch, EveryProblemMatchesOnePointOnRandomPointsInEveryBlockPosition) {
  for (objeval::problem_entry const& problem : objeval::problems)
    for (unsigned count : block_position_counts())
      expect_batch_matches_one_by_one(problem, points(count, problem.info.dimension, 0.0, count + static_cast<unsigned>(problem.info.dimension)));
}

// NaN signs and payloads follow operand order, so they pin it too.
TEST(Batch, SpecialValuesGiveTheSameBitsIncludingNaN) {
  for (double share : {0.002, 0.02, 0.2})
    for (objeval::problem_entry const& problem : objeval::problems)
      expect_batch_matches_one_by_one(problem, points(200, problem.info.dimension, share, 3));
}

// Shares that do not divide evenly, and more threads than shares: each point
// still gets the bits of the one-thread call.
TEST(Batch, AnyThreadCountGivesTheSameBits) {
  for (objeval::problem_entry const& problem : objeval::problems) {
    for (std::size_t const count : {1000u, 777u, 130u, 65u, 1u}) {
      auto const all = points(count, problem.info.dimension, 0.05, static_cast<unsigned>(count));
      std::vector<float> one(count);
      problem.batch(all.data(), count, one.data(), 1);
      for (unsigned const threads : {2u, 7u, 0u}) {
        std::vector<float> shared(count);
        problem.batch(all.data(), count, shared.data(), threads);
        for (std::size_t p = 0; p < count; ++p)
          ASSERT_EQ(std::bit_cast<std::uint32_t>(shared[p]), std::bit_cast<std::uint32_t>(one[p]))
              << problem.info.name << ", " << count << " points, " << threads << " threads, point " << p;
      }
    }
  }
}

// Threads are kept between calls: calls at the same time, and a child forked
// after a threaded call (the kept threads do not exist there), must still
// finish every point.
TEST(Batch, ConcurrentCallsAndForkedChildrenGetTheSameBits) {
  std::size_t const count = 2000;
  auto const all = points(count, objeval::doorcost::dimension, 0.0, 11);
  std::vector<float> one(count);
  objeval::doorcost::cost_batch(all, one, 1);
  auto const matches = [&](unsigned threads) {
    std::vector<float> costs(count);
    objeval::doorcost::cost_batch(all, costs, threads);
    return std::memcmp(costs.data(), one.data(), count * sizeof(float)) == 0;
  };
  bool same[4] = {};
  std::vector<std::thread> callers;
  for (unsigned c = 0; c < 4; ++c) callers.emplace_back([&, c] { same[c] = matches(c % 2 + 2); });
  for (std::thread& caller : callers) caller.join();
  for (bool const s : same) EXPECT_TRUE(s);

  pid_t const child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    alarm(20);  // a child that waits for threads it does not have dies instead of hanging the test
    _exit(matches(2) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
}

TEST(Batch, EmptyBatchIsFine) {
  for (objeval::problem_entry const& problem : objeval::problems) expect_batch_matches_one_by_one(problem, {});
}

TEST(Batch, MismatchedSizesAreRefused) {
  std::vector<float> values(241);
  std::vector<float> out(1);
  EXPECT_THROW(objeval::doorcost::cost_batch(values, out), std::invalid_argument);
  EXPECT_THROW(objeval::quadobj::objective_batch(std::span<float const>(values).first(49), out), std::invalid_argument);
}

}  // namespace
