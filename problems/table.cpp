// SPDX-License-Identifier: MIT
#include "problems/table.hpp"

#include "problem_list.hpp"
#include "simd/batch_calls.hpp"

#include <objeval/evaluate.hpp>

#include <array>
#include <cstring>

namespace objeval {
namespace {

template <class Problem>
constexpr problem_entry entry() {
  static_assert(Problem::dimension > 0 && Problem::dimension <= largest_dimension);
  static_assert(Problem::study_id > 0);
  return {{Problem::name, Problem::dimension, Problem::description},
          Problem::study_id,
          share_grain<Problem>,
          &evaluate_point<Problem>,
          &evaluate_batch<Problem>,
          &evaluate_columns<Problem>,
          &evaluate_double_rows<Problem>};
}

template <class... Problem>
constexpr std::array<problem_entry, sizeof...(Problem)> table_of() {
  return {entry<Problem>()...};
}

constexpr auto table = table_of<OBJEVAL_PROBLEM_DESCRIPTORS>();
static_assert([] {
  for (std::size_t a = 0; a < table.size(); ++a)
    for (std::size_t b = 0; b < a; ++b)
      if (table[a].study_id == table[b].study_id) return false;
  return true;
}(), "two problems share a study id");

}  // namespace

constinit std::span<problem_entry const> const problems{table};

problem_entry const* find_problem(char const* name) noexcept {
  if (name != nullptr)
    for (problem_entry const& p : problems)
      if (std::strcmp(p.info.name, name) == 0) return &p;
  return nullptr;
}

}  // namespace objeval
