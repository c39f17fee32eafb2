// SPDX-License-Identifier: MIT
// Every problem of the table on whatever values the bytes give: read as
// text the way the programs read them, or taken as raw floats to reach every
// bit pattern. A result may be anything, even NaN, but the batch must match
// the one-point call bit for bit.
#include "frame/value_files.hpp"
#include "problems/table.hpp"

#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::array<float, 240> values_from(std::uint8_t const* data, std::size_t size) {
  std::array<float, 240> values{};
  if (size > 0 && data[0] % 2 == 0) {
    std::memcpy(values.data(), data + 1, std::min(size - 1, sizeof values));
    return values;
  }
  std::vector<char> text(data, data + size);
  text.push_back('\0');
  if (std::FILE* in = fmemopen(text.data(), text.size(), "r")) {
    objeval::value_files::read_values<240>(in, values);
    std::fclose(in);
  }
  return values;
}

void same_bits(float a, float b) {
  if (std::bit_cast<std::uint32_t>(a) != std::bit_cast<std::uint32_t>(b)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  std::array<float, 240> const values = values_from(data, size);
  for (objeval::problem_entry const& problem : objeval::problems) {
    if (problem.info.dimension > values.size()) continue;
    float batch_value = 0;
    problem.batch(values.data(), 1, &batch_value, 1);
    same_bits(problem.one(values.data()), batch_value);
  }
  return 0;
}
