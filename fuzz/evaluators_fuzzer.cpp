// SPDX-License-Identifier: MIT
// Both evaluators on whatever values the bytes give: read as text the way
// the programs read them, or taken as raw floats to reach every bit pattern.
// A result may be anything, even NaN, but the batch must match the one-point
// call bit for bit.
#include "frame/value_files.hpp"

#include <objeval/doorcost.hpp>
#include <objeval/quadobj.hpp>

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

  float batch_cost = 0;
  objeval::doorcost::cost_batch(values, std::span<float>(&batch_cost, 1));
  same_bits(objeval::doorcost::cost(values), batch_cost);

  std::span<float const, 50> const point(values.data(), 50);
  float batch_value = 0;
  objeval::quadobj::objective_batch(point, std::span<float>(&batch_value, 1));
  same_bits(objeval::quadobj::objective(point), batch_value);
  return 0;
}
