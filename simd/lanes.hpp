// Many values of one type side by side, one per point, in registers of Bytes
// bytes: every operation acts on each lane alone, with the rounding of a
// single value.
#pragma once

#include "frame/exact_arithmetic.hpp"
#include "simd/batch_threads.hpp"
#include "simd/multiversion.hpp"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

namespace objeval {

template <class T, std::size_t Registers, std::size_t Bytes = 64>
struct lanes {
  using value_type = T;
  typedef T reg __attribute__((vector_size(Bytes)));
  static constexpr std::size_t per_register = Bytes / sizeof(T);
  static constexpr std::size_t width = Registers * per_register;

  reg r[Registers];

  lanes() = default;
  OBJEVAL_INLINE explicit lanes(T broadcast) {
    for (reg& x : r) x = reg{} + broadcast;
  }

  OBJEVAL_INLINE T get(std::size_t lane) const { return r[lane / per_register][lane % per_register]; }
  OBJEVAL_INLINE void set(std::size_t lane, T value) { r[lane / per_register][lane % per_register] = value; }

  OBJEVAL_INLINE friend lanes operator*(lanes const& a, T b) {
    lanes p;
    for (std::size_t i = 0; i < Registers; ++i) p.r[i] = a.r[i] * b;
    return p;
  }
  OBJEVAL_INLINE friend lanes operator*(lanes const& a, lanes const& b) {
    lanes p;
    for (std::size_t i = 0; i < Registers; ++i) p.r[i] = a.r[i] * b.r[i];
    return p;
  }
  OBJEVAL_INLINE friend lanes fma(lanes const& a, lanes const& b, lanes const& c) {
    lanes s;
    for (std::size_t i = 0; i < Registers; ++i)
      for (std::size_t k = 0; k < per_register; ++k) s.r[i][k] = std::fma(a.r[i][k], b.r[i][k], c.r[i][k]);
    return s;
  }
};

// Evaluates `count` points of N floats each, a block of Lane::width points at
// a time: the block is turned into N lanes (unused lanes hold 0), `sum` maps
// them to one lane of results, and each result is narrowed to float. The
// block lives on the heap: a caller's thread may have a small stack.
template <std::size_t N, class Lane, class Sum>
OBJEVAL_INLINE void evaluate_blocks(float const* points, std::size_t count, float* results, Sum sum) {
  using T = typename Lane::value_type;
  constexpr std::size_t width = Lane::width;
  std::vector<T> rows(N * width);  // row n holds slot n of each point
  auto const slots = std::make_unique<std::array<Lane, N>>();
  static_assert(sizeof(std::array<Lane, N>) == N * width * sizeof(T));
  for (std::size_t first = 0; first < count; first += width) {
    std::size_t const filled = count - first < width ? count - first : width;
    for (std::size_t lane = 0; lane < filled; ++lane) {
      float const* const point = points + (first + lane) * N;
      for (std::size_t n = 0; n < N; ++n) rows[n * width + lane] = static_cast<T>(point[n]);
    }
    for (std::size_t lane = filled; lane < width; ++lane)
      for (std::size_t n = 0; n < N; ++n) rows[n * width + lane] = T(0);
    std::memcpy(slots->data(), rows.data(), sizeof *slots);
    Lane const block = sum(*slots);
    for (std::size_t lane = 0; lane < filled; ++lane)
      results[first + lane] = canonical(static_cast<float>(block.get(lane)));
  }
}

// The batch function of an evaluator, one version per instruction set, each
// with registers of its own width: as many points per block, and as many
// independent sums, in each. Sum is a captureless generic lambda type mapping
// the N lanes of a block to its results.
template <std::size_t N, class T, std::size_t Registers, class Sum>
class batch_versions {
 public:
  // Points are shared between `threads` threads (0: one per core).
  static void evaluate(float const* points, std::size_t count, float* results, unsigned threads) {
    for_each_share(count, threads, 64, [points, results](std::size_t first, std::size_t size) {
      versions_(points + first * N, size, results + first);
    });
  }

 private:
  OBJEVAL_TARGET_V4 static void v4(float const* points, std::size_t count, float* results) {
    evaluate_blocks<N, lanes<T, Registers, 64>>(points, count, results, Sum{});
  }
  OBJEVAL_TARGET_V3 static void v3(float const* points, std::size_t count, float* results) {
    evaluate_blocks<N, lanes<T, Registers * 2, 32>>(points, count, results, Sum{});
  }
  static void baseline(float const* points, std::size_t count, float* results) {
    evaluate_blocks<N, lanes<T, Registers * 4, 16>>(points, count, results, Sum{});
  }
  static inline constinit versioned<void(float const*, std::size_t, float*)> versions_{v4, v3, baseline};
};

}  // namespace objeval
