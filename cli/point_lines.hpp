// SPDX-License-Identifier: MIT
// Points as text, one per line: N numbers separated by white space, or, on
// a line that has commas, by commas (so numpy.savetxt output and CSV rows
// both work), each read as the programs read "input.txt". A comma separates
// two fields, each one number with blanks around it allowed: a comma at the
// start or the end of a line, or two in a row, leave a field empty, and a
// field with two numbers ("0,5 0,5" written with decimal commas) is bad.
// Blank lines and lines starting with '#' are not points.
#pragma once

#include "frame/decimal_to_float.hpp"
#include "frame/scan_float.hpp"

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

namespace objeval::points_cli {

using objeval::value_files::detail::is_space;  // the C locale's white space

inline bool is_point_line(std::string_view line) noexcept {
  std::size_t at = 0;
  while (at < line.size() && is_space(line[at])) ++at;
  return at < line.size() && line[at] != '#';
}

inline bool ends_field(char const* at, char const* end) noexcept { return at == end || is_space(*at) || *at == ','; }

// A short plain decimal ([-]digits[.digits][e[+-]digits], at most 2^53 in
// its digits, a power of ten up to 22): its double m * 10^e or m / 10^-e is
// rounded once, so the float nearest to that double is the float nearest to
// the decimal, unless the double fell exactly halfway between two floats.
// Returns where the number ends, or nullptr where it is not such a number.
// Digits eight at a time, where eight are there: most of a "%.9g" number's.
// The eight bytes at `at` as a little-endian word.
inline std::uint64_t eight_bytes(char const* at) noexcept {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}
inline bool eight_digits(std::uint64_t word) noexcept {
  return (((word + 0x4646464646464646) | (word - 0x3030303030303030)) & 0x8080808080808080) == 0;
}
inline std::uint32_t eight_digits_value(std::uint64_t word) noexcept {
  word -= 0x3030303030303030;
  word = word * 10 + (word >> 8);  // pairs of digits
  constexpr std::uint64_t mask = 0x000000ff000000ff;
  return static_cast<std::uint32_t>(((word & mask) * 0x000f424000000064 + ((word >> 16) & mask) * 0x0000271000000001) >> 32);
}

// Takes the digits at `at` into m, counting them; stops at 19 digits, the
// most a short decimal has.
inline char const* take_digits(char const* at, char const* end, std::uint64_t& m, int& digits) noexcept {
  while (end - at >= 8 && digits <= 11 && eight_digits(eight_bytes(at))) {
    m = m * 100000000 + eight_digits_value(eight_bytes(at));
    at += 8;
    digits += 8;
  }
  for (; at != end && *at >= '0' && *at <= '9' && digits < 20; ++at, ++digits) m = m * 10 + static_cast<unsigned>(*at - '0');
  return at;
}

inline char const* read_short_decimal(char const* at, char const* end, float& value) noexcept {
  static constexpr double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                      1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  bool const negative = at != end && *at == '-';
  if (negative) ++at;
  std::uint64_t m = 0;
  int digits = 0, scale = 0;
  at = take_digits(at, end, m, digits);
  if (at != end && *at == '.') {
    int const before = digits;
    at = take_digits(at + 1, end, m, digits);
    scale = before - digits;
  }
  if (digits == 0 || digits > 19 || m > (std::uint64_t{1} << 53)) return nullptr;
  if (at != end && (*at == 'e' || *at == 'E')) {
    char const* e = at + 1;
    bool const minus = e != end && *e == '-';
    if (e != end && (*e == '-' || *e == '+')) ++e;
    int exponent = 0, exponent_digits = 0;
    for (; e != end && *e >= '0' && *e <= '9' && exponent_digits < 4; ++e, ++exponent_digits) exponent = exponent * 10 + (*e - '0');
    if (exponent_digits == 0 || exponent_digits == 4) return nullptr;
    scale += minus ? -exponent : exponent;
    at = e;
  }
  if (scale < -22 || scale > 22) return nullptr;
  double const exact = scale < 0 ? static_cast<double>(m) / powers[-scale] : static_cast<double>(m) * powers[scale];
  // Such a number is 0 or between 1e-22 and 2^53 * 1e22, where floats are
  // normal: a double halfway between two of them has a 1 and then zeros
  // below the float's last place.
  auto const bits = std::bit_cast<std::uint64_t>(exact);
  if ((bits & 0x1fffffff) == 0x10000000) return nullptr;
  float const rounded = static_cast<float>(exact);
  value = negative ? -rounded : rounded;
  return at;
}

// A field as an error message shows it: in quotes, at most 40 bytes of it,
// with quotes, backslashes and bytes that are not printable ASCII escaped.
inline std::string quoted_field(std::string_view field) {
  constexpr std::size_t shown = 40;
  std::string quoted = "\"";
  for (char const c : field.substr(0, shown)) {
    auto const byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (byte < 0x20 || byte >= 0x7f) {
      constexpr char hex[] = "0123456789abcdef";
      quoted += {'\\', 'x', hex[byte >> 4], hex[byte & 15]};
    } else {
      quoted += c;
    }
  }
  quoted += '"';
  if (field.size() > shown) quoted += "... (" + std::to_string(field.size()) + " bytes)";
  return quoted;
}

// Whether `rest` is the payload the C library's strtod takes after "nan":
// "(" letters, digits and '_' ")". The programs read "nan" and leave the
// rest, which ends their reading; after the last number that changes
// nothing, and anywhere the value is NaN either way.
inline bool is_nan_payload(std::string_view rest) noexcept {
  if (rest.size() < 2 || rest.front() != '(' || rest.back() != ')') return false;
  for (char const c : rest.substr(1, rest.size() - 2))
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_')) return false;
  return true;
}

// Where a comma-separated field holds a second number: what to say, with a
// hint where the line looks written with decimal commas ("0,5").
inline std::string two_numbers(std::size_t field, std::string_view line, char const* field_start, char const* end) {
  char const* field_end = field_start;
  while (field_end != end && *field_end != ',') ++field_end;
  std::string message = "field " + std::to_string(field) + " holds more than one number: " +
                        quoted_field(std::string_view(field_start, static_cast<std::size_t>(field_end - field_start)));
  auto const digit = [](char c) { return c >= '0' && c <= '9'; };
  for (std::size_t comma = line.find(','); comma != std::string_view::npos; comma = line.find(',', comma + 1)) {
    if (comma == 0 || comma + 1 == line.size() || !digit(line[comma - 1]) || !digit(line[comma + 1])) continue;
    std::size_t first = comma, last = comma + 1;
    while (first > 0 && digit(line[first - 1])) --first;
    while (last < line.size() && digit(line[last])) ++last;
    std::string written(line.substr(first, last - first)), meant = written;
    meant[comma - first] = '.';
    return message + " (a decimal comma? write " + meant + ", not " + written + ")";
  }
  return message;
}

// Reads the point on one line into `point`; returns what was wrong with the
// line, or nothing. Each field must be one number and nothing else.
inline std::string read_point(std::string_view line, std::span<float> point) {
  char const* at = line.data();
  char const* const end = at + line.size();
  bool const commas = line.find(',') != std::string_view::npos;
  std::size_t count = 0;
  bool field_expected = true;  // at the start, and after a comma
  char const* field_start = at;
  for (;;) {
    while (at != end && is_space(*at)) ++at;
    if (at == end) break;
    if (*at == ',') {
      if (field_expected) return "field " + std::to_string(count + 1) + " is empty";
      field_expected = true;
      field_start = ++at;
      continue;
    }
    if (commas && !field_expected) return two_numbers(count, line, field_start, end);
    float value = 0;
    // A plain decimal, as most files hold, converts the same either way.
    char const first = *at == '-' && at + 1 != end ? at[1] : *at;
    bool read = false;
    if ((first >= '0' && first <= '9') || first == '.') {
      char const* const stop = read_short_decimal(at, end, value);
      if (stop != nullptr && ends_field(stop, end)) {
        at = stop;
        read = true;
      } else if (auto const [after, error] = objeval::value_files::decimal_to_float(at, end, value);
                 error == std::errc() && ends_field(after, end)) {
        at = after;
        read = true;
      }
    }
    if (!read) {
      char const* field_end = at;
      while (!ends_field(field_end, end)) ++field_end;
      objeval::value_files::memory_bytes bytes(at, static_cast<std::size_t>(field_end - at));
      bool const number = objeval::value_files::scan_float(bytes, value);
      std::string_view const rest(at + bytes.taken(), static_cast<std::size_t>(field_end - at) - bytes.taken());
      if (!number || !(rest.empty() || (std::isnan(value) && is_nan_payload(rest))))
        return "field " + std::to_string(count + 1) + " is not a number: " +
               quoted_field(std::string_view(at, static_cast<std::size_t>(field_end - at)));
      at = field_end;
    }
    if (count < point.size()) point[count] = value;
    ++count;
    field_expected = false;
  }
  if (field_expected && count != 0) return "field " + std::to_string(count + 1) + " is empty";  // a trailing comma
  if (count != point.size()) return std::to_string(point.size()) + " numbers expected, found " + std::to_string(count);
  return {};
}

}  // namespace objeval::points_cli
