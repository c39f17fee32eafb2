// The run frame both programs share: read N numbers from "input.txt", evaluate
// them, write the value to "output.txt". No heap, no iostreams, no locale.
#pragma once

#include "frame/exact_arithmetic.hpp"

#include <array>
#include <cstddef>
#include <cstdio>
#include <span>

namespace value_files {

inline constexpr char input_name[] = "input.txt";
inline constexpr char output_name[] = "output.txt";

inline constexpr char input_failure[] = "Can not open the input file!!!";
inline constexpr char output_failure[] = "Can not open the output file!!!";
inline constexpr char write_failure[] = "Can not write the output file!!!";

inline constexpr int success_status = 0;
inline constexpr int failure_status = 1;

// Attempts exactly N "%f" reads, whatever each one finds; a slot that no read
// fills keeps its value. Returns false if the stream reported a read error.
template <std::size_t N>
bool read_values(std::FILE* in, std::span<float, N> slots) noexcept {
  for (float& slot : slots) {
    [[maybe_unused]] int const converted = std::fscanf(in, "%f", &slot);
  }
  return std::ferror(in) == 0;
}

// Writes the value as "%f" of its double widening, with no line end.
inline bool write_value(std::FILE* out, float value) noexcept {
  return std::fprintf(out, "%f", static_cast<double>(value)) >= 0;
}

inline int fail(char const* message) noexcept {
  std::fputs(message, stdout);
  return failure_status;
}

// One whole run; the return value is the process exit status.
template <std::size_t N, class Evaluator>
int run(Evaluator evaluate) noexcept {
  std::array<float, N> slots{};

  std::FILE* in = std::fopen(input_name, "rt");
  if (in == nullptr) return fail(input_failure);
  bool const read_ok = read_values<N>(in, slots);
  std::fclose(in);
  if (!read_ok) return fail(input_failure);

  float const value = evaluate(std::span<float const, N>(slots));

  std::FILE* out = std::fopen(output_name, "wt");
  if (out == nullptr) return fail(output_failure);
  bool const written = write_value(out, value);
  bool const closed = std::fclose(out) == 0;
  if (!written || !closed) return fail(write_failure);
  return success_status;
}

}  // namespace value_files
