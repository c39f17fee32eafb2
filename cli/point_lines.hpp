// Points as text, one per line: N numbers separated by white space or by
// commas (so numpy.savetxt output and CSV rows both work), each read as the
// programs read "input.txt". Blank lines and lines starting with '#' are
// not points.
#pragma once

#include "frame/scan_float.hpp"

#include <fast_float/fast_float.h>

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

namespace points_cli {

inline bool is_space(char c) noexcept { return c == ' ' || (c >= '\t' && c <= '\r'); }

inline bool is_point_line(std::string_view line) noexcept {
  std::size_t at = 0;
  while (at < line.size() && is_space(line[at])) ++at;
  return at < line.size() && line[at] != '#';
}

inline bool ends_field(char const* at, char const* end) noexcept { return at == end || is_space(*at) || *at == ','; }

// Reads the point on one line into `point`; returns what was wrong with the
// line, or nothing. Each field must be one number and nothing else.
inline std::string read_point(std::string_view line, std::span<float> point) {
  char const* at = line.data();
  char const* const end = at + line.size();
  std::size_t count = 0;
  bool field_expected = true;  // at the start, and after a comma
  for (;;) {
    while (at != end && is_space(*at)) ++at;
    if (at == end) break;
    if (*at == ',') {
      if (field_expected) return "field " + std::to_string(count + 1) + " is empty";
      field_expected = true;
      ++at;
      continue;
    }
    float value = 0;
    // A plain decimal, as most files hold, converts the same either way.
    char const first = *at == '-' && at + 1 != end ? at[1] : *at;
    bool read = false;
    if ((first >= '0' && first <= '9') || first == '.') {
      auto const [stop, error] = fast_float::from_chars(at, end, value);
      if (error == std::errc() && ends_field(stop, end)) {
        at = stop;
        read = true;
      }
    }
    if (!read) {
      char const* field_end = at;
      while (!ends_field(field_end, end)) ++field_end;
      value_files::memory_bytes bytes(at, static_cast<std::size_t>(field_end - at));
      if (!value_files::scan_float(bytes, value) || at + bytes.taken() != field_end)
        return "field " + std::to_string(count + 1) + " is not a number: \"" + std::string(at, field_end) + "\"";
      at = field_end;
    }
    if (count < point.size()) point[count] = value;
    ++count;
    field_expected = false;
  }
  if (count != point.size()) return std::to_string(point.size()) + " numbers expected, found " + std::to_string(count);
  return {};
}

}  // namespace points_cli
