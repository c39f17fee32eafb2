// SPDX-License-Identifier: MIT
// Any bytes as "input.txt": reading them must neither crash nor misbehave,
// and every value read must print as "%f" within the frame's bounds.
#include "frame/value_files.hpp"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  std::vector<char> text(data, data + size);
  text.push_back('\0');  // fmemopen refuses an empty buffer
  std::FILE* in = fmemopen(text.data(), size + 1, "r");
  if (in == nullptr) return 0;
  std::array<float, 240> slots{};
  bool const read_ok = objeval::value_files::read_values<240>(in, slots);
  std::fclose(in);
  if (!read_ok) __builtin_trap();  // a memory stream has no read errors

  for (float const value : slots) {
    char printed[64] = {};  // "%f" of -FLT_MAX is 47 characters
    std::FILE* out = fmemopen(printed, sizeof printed - 1, "w");
    if (out == nullptr) __builtin_trap();
    bool const written = objeval::value_files::write_value(out, value);
    std::fclose(out);
    if (!written || std::strlen(printed) > 47) __builtin_trap();
  }
  return 0;
}
