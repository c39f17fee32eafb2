// SPDX-License-Identifier: MIT
// A batch that cannot get memory must still give every point its bits, on
// any number of threads, and neither throw nor end the process. The
// allocation functions are replaced here so that a test can refuse memory.
#include "float_bits.hpp"

#include <objeval/doorcost.hpp>
#include <objeval/objeval.h>
#include <objeval/quadobj.hpp>

#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <random>
#include <span>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t no_refusal = SIZE_MAX;
std::atomic<std::size_t> refused_from{no_refusal};  // the smallest size refused
std::atomic<long> live_allocations{0};

void* allocate(std::size_t size, std::size_t alignment) noexcept {
  if (size >= refused_from.load(std::memory_order_relaxed)) return nullptr;
  alignment = alignment < sizeof(void*) ? sizeof(void*) : alignment;
  void* p = nullptr;
  if (posix_memalign(&p, alignment, size != 0 ? size : 1) != 0) return nullptr;
  ++live_allocations;
  return p;
}
void release(void* p) noexcept {
  if (p != nullptr) --live_allocations;
  std::free(p);
}
void* allocate_or_throw(std::size_t size, std::size_t alignment) {
  if (void* const p = allocate(size, alignment)) return p;
  throw std::bad_alloc();
}

class refuse_memory {
 public:
  explicit refuse_memory(std::size_t from) { refused_from = from; }
  ~refuse_memory() { refused_from = no_refusal; }
  refuse_memory(refuse_memory const&) = delete;
  refuse_memory& operator=(refuse_memory const&) = delete;
};

}  // namespace

void* operator new(std::size_t size) { return allocate_or_throw(size, alignof(std::max_align_t)); }
void* operator new(std::size_t size, std::align_val_t a) { return allocate_or_throw(size, std::size_t(a)); }
void* operator new(std::size_t size, std::nothrow_t const&) noexcept {
  return allocate(size, alignof(std::max_align_t));
}
void* operator new(std::size_t size, std::align_val_t a, std::nothrow_t const&) noexcept {
  return allocate(size, std::size_t(a));
}
// The array forms too: a sanitizer's runtime does not send them to the above.
void* operator new[](std::size_t size) { return allocate_or_throw(size, alignof(std::max_align_t)); }
void* operator new[](std::size_t size, std::align_val_t a) { return allocate_or_throw(size, std::size_t(a)); }
void* operator new[](std::size_t size, std::nothrow_t const&) noexcept {
  return allocate(size, alignof(std::max_align_t));
}
void* operator new[](std::size_t size, std::align_val_t a, std::nothrow_t const&) noexcept {
  return allocate(size, std::size_t(a));
}
void operator delete[](void* p) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { release(p); }
void operator delete(void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, std::align_val_t) noexcept { release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { release(p); }

namespace {

template <std::size_t N, class One, class Batch>
void expect_bits_without_memory(One one, Batch batch) {
  constexpr std::size_t count = 777;  // enough for 2 and 7 threads, not a whole number of blocks
  std::mt19937 engine(7);
  std::uniform_real_distribution<float> value(-4.0f, 4.0f);
  std::vector<float> points(count * N);
  for (float& v : points) v = value(engine);
  std::vector<float> expected(count), batched(count);
  for (std::size_t p = 0; p < count; ++p) expected[p] = one(std::span<float const, N>(points.data() + p * N, N));
  // From 4 KiB: the blocks of every version are refused, a thread and the list
  // of threads are not. From 0: everything.
  for (std::size_t const refused : {std::size_t{4096}, std::size_t{0}})
    for (unsigned const threads : {1u, 2u, 7u}) {
      batched.assign(count, 0.0f);
      {
        refuse_memory const refusal(refused);
        batch(std::span<float const>(points), std::span<float>(batched), threads);
      }
      for (std::size_t p = 0; p < count; ++p)
        ASSERT_EQ(std::bit_cast<std::uint32_t>(batched[p]), std::bit_cast<std::uint32_t>(expected[p]))
            << "point " << p << ", " << threads << " threads, sizes from " << refused << " refused: batch "
            << testing_support::hex(batched[p]) << ", one " << testing_support::hex(expected[p]);
    }
}

TEST(BatchOutOfMemory, EveryPointStillGetsItsBits) {
  expect_bits_without_memory<objeval::doorcost::dimension>(objeval::doorcost::cost, objeval::doorcost::cost_batch);
  expect_bits_without_memory<objeval::quadobj::dimension>(objeval::quadobj::objective, objeval::quadobj::objective_batch);
}

// The batch from doubles without memory: its readers go a point at a time
// from their own layout, and the double values come a thousand at a time.
// 2,500 points: the thousands must each land at their own place. GCC 12 at
// -O3 once left quadobj's last two values of each point unrounded here.
TEST(BatchOutOfMemory, DoublesInEveryLayoutStillGetTheirBits) {
  constexpr std::size_t count = 2500;
  std::mt19937 engine(11);
  std::uniform_real_distribution<double> value(-4.0, 4.0);
  for (std::size_t problem = 0; problem < objeval_problem_count(); ++problem) {
    std::size_t const d = objeval_problem_at(problem)->dimension, rows = d + 3, columns = count + 5;
    std::vector<double> points(columns * rows);  // room for either layout
    for (double& v : points) v = value(engine);
    // {point stride, value stride}: rows with a gap after each point, then columns.
    for (auto const& [ps, vs] : {std::pair{rows, std::size_t{1}}, std::pair{std::size_t{1}, columns}}) {
      std::vector<float> point(d), expected(count);
      for (std::size_t p = 0; p < count; ++p) {
        for (std::size_t k = 0; k < d; ++k) point[k] = static_cast<float>(points[p * ps + k * vs]);
        ASSERT_EQ(objeval_evaluate(problem, point.data(), 1, &expected[p], 1), OBJEVAL_OK);
      }
      for (unsigned const threads : {1u, 2u}) {
        std::vector<double> got(count, -1.0);
        {
          refuse_memory const refusal(0);
          ASSERT_EQ(objeval_evaluate_doubles(problem, points.data(), count, ps, vs, got.data(), threads), OBJEVAL_OK);
        }
        for (std::size_t p = 0; p < count; ++p)
          ASSERT_EQ(got[p], static_cast<double>(expected[p]))
              << objeval_problem_at(problem)->name << " point " << p << ", strides " << ps << " and " << vs << ", "
              << threads << " threads: got " << testing_support::hex(static_cast<float>(got[p])) << ", want "
              << testing_support::hex(expected[p]);
      }
    }
  }
}

// Values written over their own points need a buffer: without memory for
// one, every call says so and leaves the points as they were, rather than
// overwriting points another block has yet to read.
TEST(BatchOutOfMemory, ValuesOverTheirPointsWithoutABufferTouchNothing) {
  constexpr std::size_t count = 300;
  for (std::size_t problem = 0; problem < objeval_problem_count(); ++problem) {
    std::size_t const d = objeval_problem_at(problem)->dimension;
    std::vector<float> floats(count * d);
    std::vector<double> doubles(count * d);
    for (std::size_t k = 0; k < floats.size(); ++k) doubles[k] = floats[k] = static_cast<float>(k % 7) * 0.25f;
    std::vector<float> const floats_before = floats;
    std::vector<double> const doubles_before = doubles;
    objeval_status statuses[3];
    {
      refuse_memory const refusal(0);
      statuses[0] = objeval_evaluate(problem, floats.data(), count, floats.data(), 1);
      statuses[1] = objeval_evaluate_strided(problem, floats.data(), count, d, 1, floats.data(), 2);
      statuses[2] = objeval_evaluate_doubles(problem, doubles.data(), count, d, 1, doubles.data(), 2);
    }
    for (objeval_status const status : statuses) EXPECT_EQ(status, OBJEVAL_COUNT_TOO_LARGE);
    EXPECT_EQ(floats, floats_before) << objeval_problem_at(problem)->name;
    EXPECT_EQ(doubles, doubles_before) << objeval_problem_at(problem)->name;
  }
}

// A host's thread keeps its batch buffers from one batch to the next, until
// it lets them go: objeval_release_threads frees the calling thread's, and
// the next batch makes them again.
TEST(BatchOutOfMemory, ReleasingThreadsFreesTheCallersBuffers) {
  objeval_release_threads();
  std::vector<float> points(100 * OBJEVAL_QUADOBJ_DIMENSION, 0.5f), values(100), again(100);
  long const before = live_allocations;
  ASSERT_EQ(objeval_evaluate(OBJEVAL_QUADOBJ, points.data(), 100, values.data(), 1), OBJEVAL_OK);
  EXPECT_GT(live_allocations, before);  // its blocks, kept
  objeval_release_threads();
  EXPECT_EQ(live_allocations, before);
  ASSERT_EQ(objeval_evaluate(OBJEVAL_QUADOBJ, points.data(), 100, again.data(), 1), OBJEVAL_OK);
  EXPECT_EQ(again, values);
  objeval_release_threads();
}

}  // namespace
