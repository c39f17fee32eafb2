// Time per evaluation, one point at a time and in batches, next to the
// latency bound: a bare chain of as many dependent fused multiply-adds.
#include "doorcost/cost.hpp"
#include "simd/multiversion.hpp"
#include "quadobj/objective.hpp"

#include <benchmark/benchmark.h>

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

template <std::size_t N, void (*Batch)(std::span<float const>, std::span<float>)>
void BM_batch(benchmark::State& state) {
  auto const count = static_cast<std::size_t>(state.range(0));
  auto const points = random_points(count, N);
  std::vector<float> results(count);
  for (auto _ : state) {
    Batch(points, results);
    benchmark::DoNotOptimize(results.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_batch<doorcost::value_count, doorcost::cost_batch>)->Name("doorcost/cost_batch")->Arg(1024);
BENCHMARK(BM_batch<quadobj::value_count, quadobj::objective_batch>)->Name("quadobj/objective_batch")->Arg(1024);

}  // namespace

BENCHMARK_MAIN();
