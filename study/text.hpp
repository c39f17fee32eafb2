// SPDX-License-Identifier: MIT
// A study's text: names as they may stand in a file name, numbers that read
// back to the float written, and JSON strings, all of UTF-8 text.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace objeval::study {

// Whether `text` is well-formed UTF-8: no stray continuation byte, no
// overlong form, no surrogate, nothing past U+10FFFF.
inline bool is_utf8(std::string_view text) noexcept {
  for (std::size_t k = 0; k < text.size();) {
    auto const byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    unsigned const lead = byte(k);
    std::size_t const length = lead < 0x80 ? 1 : lead >= 0xc2 && lead <= 0xdf ? 2 : lead >= 0xe0 && lead <= 0xef ? 3
                                              : lead >= 0xf0 && lead <= 0xf4 ? 4 : 0;
    if (length == 0 || k + length > text.size()) return false;
    for (std::size_t c = 1; c < length; ++c)
      if ((byte(k + c) & 0xc0) != 0x80) return false;
    if (length >= 3) {
      unsigned const second = byte(k + 1);
      if ((lead == 0xe0 && second < 0xa0) || (lead == 0xed && second >= 0xa0) || (lead == 0xf0 && second < 0x90) ||
          (lead == 0xf4 && second >= 0x90))
        return false;
    }
    k += length;
  }
  return true;
}

// A name as a folder may be named: letters, digits, '.', '-' and '_' kept,
// every other byte '_'. Where that changes the name, or the name holds a
// capital (which a file system that ignores case would mistake), a short
// hash of the exact name follows, so that two names never share a folder:
// "(1+1) EA" and "(1,1) EA" become "_1_1__EA-" and eight hex digits each,
// their own.
inline std::string folder_name_of(std::string_view name) {
  std::string out;
  bool changed = false;
  for (char const c : name) {
    bool const lower = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
    bool const upper = c >= 'A' && c <= 'Z';
    out += lower || upper ? c : '_';
    changed = changed || !lower;
  }
  if (out.empty() || out == "." || out == "..") out.insert(0, "_"), changed = true;
  if (!changed) return out;
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (char const c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "-%08x", hash);
  return out + suffix;
}

// A float as text that reads back to the same float.
inline std::string number(float value) {
  if (value != value) return "nan";
  if (value == __builtin_inff()) return "inf";
  if (value == -__builtin_inff()) return "-inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  return text;
}

// A JSON string of UTF-8 `text`.
inline std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (char const character : text) {
    auto const c = static_cast<unsigned char>(character);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// A JSON number: IOHanalyzer's reader takes no word for infinity or NaN.
inline std::string json_number(float value) {
  return value == value && value != __builtin_inff() && value != -__builtin_inff() ? number(value) : "null";
}

}  // namespace objeval::study
