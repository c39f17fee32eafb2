// SPDX-License-Identifier: MIT
// Time per evaluation, one point at a time and in batches, next to two
// bounds: for one point, the latency of a bare chain of as many dependent
// fused multiply-adds; for batches, the throughput of as many independent
// multiplies and fused multiply-adds in the widest vectors the CPU has, and
// beside it the memory reference: a plain read of the bytes the batch reads.
#include "simd/lanes.hpp"
#include "simd/multiversion.hpp"

#include <objeval/doorcost.hpp>
#include <objeval/quadobj.hpp>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

namespace {

std::vector<float> random_points(std::size_t count, std::size_t values) {
  std::mt19937 engine(42);
  std::uniform_real_distribution<float> value(-1.0f, 1.0f);
  std::vector<float> points(count * values);
  for (float& v : points) v = value(engine);
  return points;
}

OBJEVAL_TARGET_V3 float fma_chain(float a, float b, float sum, int length) {
  for (int n = 0; n < length; ++n) sum = std::fma(a, b, sum);
  return sum;
}

OBJEVAL_TARGET_V3 double fma_chain(double a, double b, double sum, int length) {
  for (int n = 0; n < length; ++n) sum = std::fma(a, b, sum);
  return sum;
}

template <class T>
void BM_fma_chain(benchmark::State& state) {
  int const length = static_cast<int>(state.range(0));
  T a = T(0.999), b = T(1.001), sum = T(0.5);
  for (auto _ : state) {
    benchmark::DoNotOptimize(a);
    sum = fma_chain(a, b, sum, length);
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_fma_chain<float>)->Name("latency_bound/float_fma_chain")->Arg(3648);
BENCHMARK(BM_fma_chain<double>)->Name("latency_bound/double_fma_chain")->Arg(2500);

template <std::size_t N, float (*One)(std::span<float const, N>) noexcept>
void BM_one_point(benchmark::State& state) {
  auto const points = random_points(64, N);
  std::size_t p = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(One(std::span<float const, N>(points.data() + p * N, N)));
    p = (p + 1) % 64;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_one_point<objeval::doorcost::dimension, objeval::doorcost::cost>)->Name("doorcost/cost");
BENCHMARK(BM_one_point<objeval::quadobj::dimension, objeval::quadobj::objective>)->Name("quadobj/objective");

// The register changes, as far as the compiler knows, so no work is hoisted
// out of the loop or shared between chains (volatile: two such statements on
// equal registers are not merged); built for the register's instruction set,
// as an asm operand must be.
#define OBJEVAL_OPAQUE(TARGET, V) \
  TARGET inline void opaque(V& r) { __asm__ volatile("" : "+v"(r)); }
OBJEVAL_OPAQUE(OBJEVAL_TARGET_V3, objeval::floats_256)
OBJEVAL_OPAQUE(OBJEVAL_TARGET_V3, objeval::doubles_256)
OBJEVAL_OPAQUE(OBJEVAL_TARGET_V4, objeval::floats_512)
OBJEVAL_OPAQUE(OBJEVAL_TARGET_V4, objeval::doubles_512)
#undef OBJEVAL_OPAQUE

// The throughput bound of a batch: per point, `pairs` multiplies each feeding
// a fused multiply-add, in eight independent chains of the batch's own lanes,
// as wide as the batch version the CPU runs, one lane per point. A chain's
// multiplier is a fresh copy of one register, so that the chains and three
// constants fit in sixteen registers.
template <class Reg>
OBJEVAL_INLINE void pair(Reg& sum, Reg const& one, Reg const& w, Reg const& y) {
  Reg x = one;
  opaque(x);
  objeval::fma_vector(sum, x * w, y, sum);
}

template <class Lane, std::size_t... I>
OBJEVAL_INLINE void independent_pairs(std::size_t points, int pairs, typename Lane::value_type* out,
                                      std::index_sequence<I...>) {
  using T = typename Lane::value_type;
  using reg = typename Lane::reg;
  reg const x = reg{} + T(1), w = reg{} + T(0.999), y = reg{} + T(1.001);
  Lane sum(T(0));
  for (std::size_t done = 0; done < points; done += Lane::width)
    for (int t = 0; t < pairs; ++t) (pair(sum.r[I], x, w, y), ...);
  sum.store(out);
}

template <class T>
struct pair_bound {
  template <std::size_t Bytes>
  using lanes = objeval::lanes<T, 8, Bytes>;
  OBJEVAL_TARGET_V4 static void v4(std::size_t points, int pairs, T* out) {
    independent_pairs<lanes<64>>(points, pairs, out, std::make_index_sequence<8>{});
  }
  OBJEVAL_TARGET_V3 static void v3(std::size_t points, int pairs, T* out) {
    independent_pairs<lanes<32>>(points, pairs, out, std::make_index_sequence<8>{});
  }
  static void baseline(std::size_t, int, T*) {}
  static inline constinit objeval::versioned<void(std::size_t, int, T*)> run{{v4, v3, baseline}};
};

// The memory reference: the points read once, in order, in the widest
// registers the CPU has, into eight independent sums.
template <class Reg>
OBJEVAL_INLINE float read_in_order(float const* points, std::size_t count) {
  constexpr std::size_t width = sizeof(Reg) / sizeof(float);
  typedef float unaligned __attribute__((vector_size(sizeof(Reg)), aligned(alignof(float)), may_alias));
  Reg sums[8] = {};
  std::size_t n = 0;
  for (; n + 8 * width <= count; n += 8 * width)
    for (std::size_t k = 0; k < 8; ++k) sums[k] += *reinterpret_cast<unaligned const*>(points + n + k * width);
  float total = 0;
  for (; n < count; ++n) total += points[n];
  for (Reg const& sum : sums)
    for (std::size_t k = 0; k < width; ++k) total += sum[k];
  return total;
}

struct memory_reference {
  OBJEVAL_TARGET_V4 static float v4(float const* points, std::size_t count) {
    return read_in_order<objeval::floats_512>(points, count);
  }
  OBJEVAL_TARGET_V3 static float v3(float const* points, std::size_t count) {
    return read_in_order<objeval::floats_256>(points, count);
  }
  static float baseline(float const* points, std::size_t count) {
    float total = 0;
    for (std::size_t n = 0; n < count; ++n) total += points[n];
    return total;
  }
  static inline constinit objeval::versioned<float(float const*, std::size_t)> run{{v4, v3, baseline}};
};

template <class T>
void BM_throughput_bound(benchmark::State& state) {
  std::size_t const points = 16384;
  T out[8 * 64 / sizeof(T)];
  for (auto _ : state) {
    pair_bound<T>::run(points, static_cast<int>(state.range(0)), out);
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(points));
}
BENCHMARK(BM_throughput_bound<float>)->Name("throughput_bound/float_pairs")->Arg(3648);
BENCHMARK(BM_throughput_bound<double>)->Name("throughput_bound/double_pairs")->Arg(2500);

// A batch, timed in turn with what it is measured against, so that all see
// the same machine: with one thread, the throughput bound for as many points
// ("to_bound" is the ratio) and a plain read of its points ("to_memory");
// with more, the same batch on one thread ("scaling" is how many times
// faster it runs).
template <std::size_t N, void (*Batch)(std::span<float const>, std::span<float>, unsigned), class T, int Pairs>
void BM_batch(benchmark::State& state) {
  using clock = std::chrono::steady_clock;
  auto const count = static_cast<std::size_t>(state.range(0));
  auto const threads = static_cast<unsigned>(state.range(1));
  auto const points = random_points(count, N);
  std::vector<float> results(count);
  T bound_sums[8 * 64 / sizeof(T)];
  double batch = 0, other = 0, read = 0;
  auto const since = [](clock::time_point t) { return std::chrono::duration<double>(clock::now() - t).count(); };
  for (auto _ : state) {
    auto const start = clock::now();
    Batch(points, results, threads);
    double const seconds = since(start);
    auto const between = clock::now();
    if (threads == 1)
      pair_bound<T>::run(count, Pairs, bound_sums);
    else
      Batch(points, results, 1);
    other += since(between);
    if (threads == 1) {
      auto const reading = clock::now();
      benchmark::DoNotOptimize(memory_reference::run(points.data(), points.size()));
      read += since(reading);
    }
    benchmark::DoNotOptimize(results.data());
    benchmark::DoNotOptimize(bound_sums);
    batch += seconds;
    state.SetIterationTime(seconds);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  double const evaluated = static_cast<double>(state.iterations()) * static_cast<double>(count);
  if (threads == 1) {
    state.counters["bound_ns"] = other * 1e9 / evaluated;
    state.counters["to_bound"] = batch / other;
    state.counters["memory_ns"] = read * 1e9 / evaluated;
    state.counters["to_memory"] = batch / read;
  } else {
    state.counters["scaling"] = other / batch;
  }
}
// doorcost: 3648 products x[i][k]*w, each fused with y[j][l]. quadobj: 2450
// products x[i]*Q[i][j] fused with x[j], and 50 more fused multiply-adds,
// counted here as 2500 pairs (50 multiplies more than it has).
// 210 points are a step of a swap search; 1024 points (0.9 MB for doorcost)
// stay in the caches; 65,536 (63 MB for doorcost) stream from memory.
BENCHMARK(BM_batch<objeval::doorcost::dimension, objeval::doorcost::cost_batch, float, 3648>)
    ->Name("doorcost/cost_batch")->ArgNames({"points", "threads"})
    ->Args({210, 1})->Args({1024, 1})->Args({65536, 1})->Args({65536, 2})->UseManualTime();
BENCHMARK(BM_batch<objeval::quadobj::dimension, objeval::quadobj::objective_batch, double, 2500>)
    ->Name("quadobj/objective_batch")->ArgNames({"points", "threads"})
    ->Args({1024, 1})->Args({65536, 1})->Args({65536, 2})->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
