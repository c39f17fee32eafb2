// SPDX-License-Identifier: MIT
// objeval-eval's reading of a line, on any bytes: the first byte says how
// many numbers a point has, the rest is the line. Reading never goes past
// the line, and a line it takes, its values printed "%.9g" and read again,
// gives the same bits (a NaN stays a NaN).
#include "cli/point_lines.hpp"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  if (size == 0) return 0;
  std::size_t const dimension = 1 + data[0] % 12;
  // A copy of just the line's bytes, so that a read past them is caught.
  std::vector<char> const text(data + 1, data + size);
  std::string_view const line(text.data(), text.size());
  std::vector<float> point(dimension);
  if (!objeval::points_cli::is_point_line(line) || !objeval::points_cli::read_point(line, point).empty()) return 0;
  std::string again;
  char number[32];
  for (float const v : point) {
    std::snprintf(number, sizeof number, "%.9g ", static_cast<double>(v));
    again += number;
  }
  std::vector<float> reread(dimension);
  if (!objeval::points_cli::read_point(again, reread).empty()) __builtin_trap();
  for (std::size_t k = 0; k < dimension; ++k)
    if (std::isnan(point[k]) ? !std::isnan(reread[k])
                             : std::bit_cast<std::uint32_t>(point[k]) != std::bit_cast<std::uint32_t>(reread[k]))
      __builtin_trap();
  return 0;
}
