// SPDX-License-Identifier: MIT
// The frame's reader and the C library's fscanf("%f") run over the same
// bytes: the slots they fill and where each stopped.
#pragma once

#include "frame/scan_float.hpp"
#include "frame/value_files.hpp"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace testing_support {

struct scan_outcome {
  std::vector<std::uint32_t> slot_bits;
  long stopped_at = 0;
  std::vector<std::string> texts;  // what each read took, from the C library
  bool operator==(scan_outcome const& other) const {
    return slot_bits == other.slot_bits && stopped_at == other.stopped_at;
  }
};

// glibc's strtof misrounds some hexadecimal numbers whose value is subnormal
// (0x1.000001p-150 gives 0, not 0x1p-149): there the frame keeps the
// correctly rounded value, which long double holds exactly for such text.
inline bool known_c_library_misrounding(std::string const& text, std::uint32_t frame_bits,
                                        std::uint32_t c_library_bits) {
  if (text.find_first_of("xX") == std::string::npos || (c_library_bits & 0x7f800000) != 0) return false;
  float const correct = static_cast<float>(std::strtold(text.c_str(), nullptr));
  return frame_bits == std::bit_cast<std::uint32_t>(correct);
}

// Where the two readers differ other than by that fault, a description.
inline std::string difference(scan_outcome const& frame, scan_outcome const& c_library) {
  std::string found;
  if (frame.stopped_at != c_library.stopped_at)
    found += "stopped at " + std::to_string(frame.stopped_at) + ", fscanf at " + std::to_string(c_library.stopped_at);
  for (std::size_t n = 0; n < frame.slot_bits.size(); ++n) {
    std::uint32_t const mine = frame.slot_bits[n], theirs = c_library.slot_bits[n];
    if (mine == theirs || known_c_library_misrounding(c_library.texts[n], mine, theirs)) continue;
    char line[96];
    std::snprintf(line, sizeof line, "; slot %zu bits %08x, fscanf %08x", n, static_cast<unsigned>(mine),
                  static_cast<unsigned>(theirs));
    found += line;
  }
  return found;
}

inline scan_outcome scan_with_frame(std::string const& text, std::size_t count) {
  scan_outcome outcome{std::vector<std::uint32_t>(count, 0), 0, {}};
  objeval::value_files::memory_bytes bytes(text.data(), text.size());
  for (auto& bits : outcome.slot_bits) {
    float slot = 0;
    objeval::value_files::scan_float(bytes, slot);
    bits = std::bit_cast<std::uint32_t>(slot);
  }
  outcome.stopped_at = static_cast<long>(bytes.taken());
  return outcome;
}

inline scan_outcome scan_with_c_library(std::string text, std::size_t count) {
  scan_outcome outcome{std::vector<std::uint32_t>(count, 0), 0, std::vector<std::string>(count)};
  if (text.empty()) return outcome;  // fmemopen refuses an empty buffer
  std::string const original = text;
  std::FILE* in = fmemopen(text.data(), text.size(), "r");
  long from = 0;
  for (std::size_t n = 0; n < count; ++n) {
    float slot = 0;
    [[maybe_unused]] int const converted = std::fscanf(in, "%f", &slot);
    outcome.slot_bits[n] = std::bit_cast<std::uint32_t>(slot);
    long const to = std::ftell(in);
    outcome.texts[n] = original.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
    from = to;
  }
  outcome.stopped_at = std::ftell(in);
  std::fclose(in);
  return outcome;
}

}  // namespace testing_support
