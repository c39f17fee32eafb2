#include "capi/objeval.h"

#include "doorcost/cost.hpp"
#include "quadobj/objective.hpp"

#include <span>

static_assert(OBJEVAL_DOORCOST_VALUES == doorcost::value_count);
static_assert(OBJEVAL_QUADOBJ_VALUES == quadobj::value_count);

extern "C" {

float objeval_doorcost(float const* values) {
  return doorcost::cost(std::span<float const, doorcost::value_count>(values, doorcost::value_count));
}

void objeval_doorcost_batch_threads(float const* points, size_t count, float* costs, unsigned threads) {
  if (count == 0) return;
  doorcost::cost_batch({points, count * doorcost::value_count}, {costs, count}, threads);
}

void objeval_doorcost_batch(float const* points, size_t count, float* costs) {
  objeval_doorcost_batch_threads(points, count, costs, 1);
}

float objeval_quadobj(float const* values) {
  return quadobj::objective(std::span<float const, quadobj::value_count>(values, quadobj::value_count));
}

void objeval_quadobj_batch_threads(float const* points, size_t count, float* results, unsigned threads) {
  if (count == 0) return;
  quadobj::objective_batch({points, count * quadobj::value_count}, {results, count}, threads);
}

void objeval_quadobj_batch(float const* points, size_t count, float* results) {
  objeval_quadobj_batch_threads(points, count, results, 1);
}

}
