// SPDX-License-Identifier: MIT
// The C interface's calls for points in any layout, on whatever the bytes
// say: a problem, a count from 0 to 200, the strides (0 too), floats or doubles in, floats
// or doubles out, a thread count, and the values. Every call must succeed,
// read nothing outside the points it was given, and give each point the
// one-point value of its values, each rounded once to float.
#include <objeval/objeval.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

struct bytes {
  std::uint8_t const* data;
  std::size_t size;
  std::size_t at = 0;
  std::uint8_t next() { return size == 0 ? 0 : data[at++ % size]; }
};

void same_bits(float a, float b) {
  if (std::bit_cast<std::uint32_t>(a) != std::bit_cast<std::uint32_t>(b)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  if (size < 6) return 0;
  bytes in{data, size};
  std::size_t const problem = in.next() % objeval_problem_count();
  std::size_t const d = objeval_problem_at(problem)->dimension;
  std::size_t const count = (in.next() | static_cast<std::size_t>(in.next() & 1) << 8) % 201;  // every count a population has
  std::size_t const point_stride = in.next() % (2 * d + 3), coordinate_stride = in.next() % 4;
  unsigned const kind = in.next() % 3;  // floats in; doubles in, floats out; doubles in and out
  unsigned const threads = in.next() % 3;
  std::size_t const length = count == 0 ? 0 : (count - 1) * point_stride + (d - 1) * coordinate_stride + 1;
  // The values from the rest of the bytes, raw: every bit pattern, NaNs too.
  std::vector<float> floats(length);
  std::vector<double> doubles(length);
  for (std::size_t k = 0; k < length; ++k) {
    std::uint64_t bits = 0;
    for (int b = 0; b < 8; ++b) bits = bits << 8 | in.next();
    floats[k] = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
    doubles[k] = std::bit_cast<double>(bits);
  }
  std::vector<float> values(count);
  std::vector<double> wide(count);
  objeval_status status;
  if (kind == 0)
    status = objeval_evaluate_strided(problem, floats.data(), count, point_stride, coordinate_stride, values.data(), threads);
  else if (kind == 1)
    status = objeval_evaluate_double(problem, doubles.data(), count, point_stride, coordinate_stride, values.data(), threads);
  else
    status = objeval_evaluate_doubles(problem, doubles.data(), count, point_stride, coordinate_stride, wide.data(), threads);
  if (status != OBJEVAL_OK) __builtin_trap();
  std::vector<float> point(d);
  for (std::size_t p = 0; p < count; ++p) {
    for (std::size_t k = 0; k < d; ++k) {
      std::size_t const at = p * point_stride + k * coordinate_stride;
      point[k] = kind == 0 ? floats[at] : static_cast<float>(doubles[at]);
    }
    float one = 0;
    if (objeval_evaluate(problem, point.data(), 1, &one, 1) != OBJEVAL_OK) __builtin_trap();
    same_bits(kind == 2 ? static_cast<float>(wide[p]) : values[p], one);
    if (kind == 2 && std::bit_cast<std::uint64_t>(wide[p]) != std::bit_cast<std::uint64_t>(static_cast<double>(one)))
      __builtin_trap();
  }
  return 0;
}
