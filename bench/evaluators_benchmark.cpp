// Time per evaluation, one point at a time and in batches, next to two
// bounds: for one point, the latency of a bare chain of as many dependent
// fused multiply-adds; for batches, the throughput of as many independent
// multiplies and fused multiply-adds in the widest vectors the CPU has.
#include "doorcost/cost.hpp"
#include "quadobj/objective.hpp"
#include "simd/multiversion.hpp"

#include <benchmark/benchmark.h>

#include <immintrin.h>

#include <chrono>
#include <cmath>
#include <random>
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
BENCHMARK(BM_one_point<doorcost::value_count, doorcost::cost>)->Name("doorcost/cost");
BENCHMARK(BM_one_point<quadobj::value_count, quadobj::objective>)->Name("quadobj/objective");

// The throughput bound of a batch: per point, `pairs` multiplies each feeding
// a fused multiply-add, in eight independent chains of registers as wide as
// the batch version the CPU runs, one lane per point.
#define OBJEVAL_PAIRS(T, V, SET, MUL, FMA, STORE)                                    \
  {                                                                                  \
    constexpr std::size_t lanes = sizeof(V) / sizeof(T);                             \
    V wv = SET(T(0.999)), yv = SET(T(1.001));                                        \
    __asm__("" : "+v"(wv), "+v"(yv)); /* values the compiler cannot fold */          \
    V x[8], sum[8];                                                                  \
    for (std::size_t k = 0; k < 8; ++k) x[k] = SET(T(1) + T(k) * T(0x1p-10)), sum[k] = SET(T(0)); \
    for (std::size_t done = 0; done < points; done += 8 * lanes)                     \
      for (int t = 0; t < pairs; ++t) {                                              \
        __asm__("" : "+v"(wv)); /* w changes, as far as the compiler knows */        \
        _Pragma("GCC unroll 8") for (std::size_t k = 0; k < 8; ++k) sum[k] = FMA(MUL(x[k], wv), yv, sum[k]); \
      }                                                                              \
    for (std::size_t k = 0; k < 8; ++k) STORE(out + k * lanes, sum[k]);              \
  }

template <class T>
struct pair_bound;
template <>
struct pair_bound<float> {
  OBJEVAL_TARGET_V4 static void v4(std::size_t points, int pairs, float* out)
      OBJEVAL_PAIRS(float, __m512, _mm512_set1_ps, _mm512_mul_ps, _mm512_fmadd_ps, _mm512_storeu_ps)
  OBJEVAL_TARGET_V3 static void v3(std::size_t points, int pairs, float* out)
      OBJEVAL_PAIRS(float, __m256, _mm256_set1_ps, _mm256_mul_ps, _mm256_fmadd_ps, _mm256_storeu_ps)
  static void baseline(std::size_t, int, float*) {}
  static inline constinit objeval::versioned<void(std::size_t, int, float*)> run{v4, v3, baseline};
};
template <>
struct pair_bound<double> {
  OBJEVAL_TARGET_V4 static void v4(std::size_t points, int pairs, double* out)
      OBJEVAL_PAIRS(double, __m512d, _mm512_set1_pd, _mm512_mul_pd, _mm512_fmadd_pd, _mm512_storeu_pd)
  OBJEVAL_TARGET_V3 static void v3(std::size_t points, int pairs, double* out)
      OBJEVAL_PAIRS(double, __m256d, _mm256_set1_pd, _mm256_mul_pd, _mm256_fmadd_pd, _mm256_storeu_pd)
  static void baseline(std::size_t, int, double*) {}
  static inline constinit objeval::versioned<void(std::size_t, int, double*)> run{v4, v3, baseline};
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

// A batch, timed in turn with what it is measured against, so that both see
// the same machine: with one thread, the throughput bound for as many points
// ("to_bound" is the ratio); with more, the same batch on one thread
// ("scaling" is how many times faster it runs).
template <std::size_t N, void (*Batch)(std::span<float const>, std::span<float>, unsigned), class T, int Pairs>
void BM_batch(benchmark::State& state) {
  using clock = std::chrono::steady_clock;
  auto const count = static_cast<std::size_t>(state.range(0));
  auto const threads = static_cast<unsigned>(state.range(1));
  auto const points = random_points(count, N);
  std::vector<float> results(count);
  T bound_sums[8 * 64 / sizeof(T)];
  double batch = 0, other = 0;
  for (auto _ : state) {
    auto const start = clock::now();
    Batch(points, results, threads);
    auto const between = clock::now();
    if (threads == 1)
      pair_bound<T>::run(count, Pairs, bound_sums);
    else
      Batch(points, results, 1);
    benchmark::DoNotOptimize(results.data());
    benchmark::DoNotOptimize(bound_sums);
    double const seconds = std::chrono::duration<double>(between - start).count();
    batch += seconds;
    other += std::chrono::duration<double>(clock::now() - between).count();
    state.SetIterationTime(seconds);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  if (threads == 1) {
    state.counters["bound_ns"] = other * 1e9 / (static_cast<double>(state.iterations()) * static_cast<double>(count));
    state.counters["to_bound"] = batch / other;
  } else {
    state.counters["scaling"] = other / batch;
  }
}
// doorcost: 3648 products x[i][k]*w, each fused with y[j][l]. quadobj: 2450
// products x[i]*Q[i][j] fused with x[j], and 50 more fused multiply-adds,
// counted here as 2500 pairs (50 multiplies more than it has).
// 1024 points stay in the second-level cache; 65,536 (63 MB for doorcost)
// stream from memory.
BENCHMARK(BM_batch<doorcost::value_count, doorcost::cost_batch, float, 3648>)
    ->Name("doorcost/cost_batch")->ArgNames({"points", "threads"})
    ->Args({1024, 1})->Args({65536, 1})->Args({65536, 2})->UseManualTime();
BENCHMARK(BM_batch<quadobj::value_count, quadobj::objective_batch, double, 2500>)
    ->Name("quadobj/objective_batch")->ArgNames({"points", "threads"})
    ->Args({1024, 1})->Args({65536, 1})->Args({65536, 2})->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
