// Time per evaluation, one point at a time and in batches, next to the
// latency bound: a bare chain of as many dependent fused multiply-adds.
#include "doorcost/cost.hpp"
#include "frame/multiversion.hpp"
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

void BM_doorcost_cost(benchmark::State& state) {
  auto const points = random_points(64, doorcost::value_count);
  std::size_t p = 0;
  for (auto _ : state) {
    std::span<float const, doorcost::value_count> point(points.data() + p * doorcost::value_count,
                                                         doorcost::value_count);
    benchmark::DoNotOptimize(doorcost::cost(point));
    p = (p + 1) % 64;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_doorcost_cost)->Name("doorcost/cost");

void BM_doorcost_batch(benchmark::State& state) {
  auto const count = static_cast<std::size_t>(state.range(0));
  auto const points = random_points(count, doorcost::value_count);
  std::vector<float> costs(count);
  for (auto _ : state) {
    doorcost::cost_batch(points, costs);
    benchmark::DoNotOptimize(costs.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_doorcost_batch)->Name("doorcost/cost_batch")->Arg(1024);

void BM_quadobj_objective(benchmark::State& state) {
  auto const points = random_points(64, quadobj::value_count);
  std::size_t p = 0;
  for (auto _ : state) {
    std::span<float const, quadobj::value_count> point(points.data() + p * quadobj::value_count,
                                                       quadobj::value_count);
    benchmark::DoNotOptimize(quadobj::objective(point));
    p = (p + 1) % 64;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_quadobj_objective)->Name("quadobj/objective");

void BM_quadobj_batch(benchmark::State& state) {
  auto const count = static_cast<std::size_t>(state.range(0));
  auto const points = random_points(count, quadobj::value_count);
  std::vector<float> values(count);
  for (auto _ : state) {
    quadobj::objective_batch(points, values);
    benchmark::DoNotOptimize(values.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_quadobj_batch)->Name("quadobj/objective_batch")->Arg(1024);

}  // namespace

BENCHMARK_MAIN();
