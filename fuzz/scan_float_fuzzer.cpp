// SPDX-License-Identifier: MIT
// Any bytes, read by the frame's own reader and by glibc's fscanf("%f"):
// every slot's bits and where reading stopped must agree (but for glibc's
// known misrounding of some subnormal hexadecimals, where ours is right).
#include "../tests/scan_reference.hpp"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  std::string const text(reinterpret_cast<char const*>(data), size);
  constexpr std::size_t slots = 12;
  auto const frame = testing_support::scan_with_frame(text, slots);
  auto const c_library = testing_support::scan_with_c_library(text, slots);
  if (!testing_support::difference(frame, c_library).empty()) __builtin_trap();
  return 0;
}
