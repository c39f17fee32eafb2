// SPDX-License-Identifier: MIT
// Just enough JSON to read a study's meta files back: objects, arrays,
// strings, numbers (kept as their text, to be read as the float they
// write), true, false and null.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace objeval::study {

struct json {
  enum class kind { null, boolean, number, string, array, object } type = kind::null;
  bool truth = false;
  std::string text;  // a string's value, or a number's text
  std::vector<json> items;
  std::map<std::string, json, std::less<>> members;

  json const* at(std::string_view name) const {
    auto const found = members.find(name);
    return type == kind::object && found != members.end() ? &found->second : nullptr;
  }
  bool is(kind k) const { return type == k; }
};

namespace detail {

class json_parser {
 public:
  explicit json_parser(std::string_view text) : text_(text) {}

  std::optional<json> document() {
    json value;
    if (!parse(value, 0)) return std::nullopt;
    skip_space();
    if (at_ != text_.size()) {
      fail("text after the value");
      return std::nullopt;
    }
    return value;
  }
  std::string const& error() const { return error_; }

 private:
  bool fail(std::string const& what) {
    if (error_.empty()) error_ = what + " at byte " + std::to_string(at_);
    return false;
  }
  void skip_space() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' || text_[at_] == '\t'))
      ++at_;
  }
  bool take(char c) {
    skip_space();
    if (at_ < text_.size() && text_[at_] == c) return ++at_, true;
    return false;
  }
  bool word(std::string_view w) {
    if (text_.substr(at_, w.size()) != w) return false;
    at_ += w.size();
    return true;
  }
  bool parse(json& out, int depth) {
    if (depth > 64) return fail("nesting too deep");
    skip_space();
    if (at_ == text_.size()) return fail("the text ends");
    char const c = text_[at_];
    if (c == '{') return object(out, depth);
    if (c == '[') return array(out, depth);
    if (c == '"') return out.type = json::kind::string, string(out.text);
    if (word("null")) return out.type = json::kind::null, true;
    if (word("true")) return out.type = json::kind::boolean, out.truth = true;
    if (word("false")) return out.type = json::kind::boolean, !(out.truth = false);
    std::size_t const start = at_;
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    while (at_ < text_.size() && (std::string_view("0123456789.eE+-").find(text_[at_]) != std::string_view::npos)) ++at_;
    if (at_ == start || (at_ == start + 1 && text_[start] == '-')) return fail("no value");
    out.type = json::kind::number;
    out.text = text_.substr(start, at_ - start);
    return true;
  }
  bool object(json& out, int depth) {
    ++at_;
    out.type = json::kind::object;
    if (take('}')) return true;
    do {
      skip_space();
      std::string name;
      if (at_ >= text_.size() || text_[at_] != '"' || !string(name)) return fail("no member name");
      if (!take(':')) return fail("no ':'");
      if (!parse(out.members[name], depth + 1)) return false;
    } while (take(','));
    return take('}') || fail("no '}'");
  }
  bool array(json& out, int depth) {
    ++at_;
    out.type = json::kind::array;
    if (take(']')) return true;
    do {
      if (!parse(out.items.emplace_back(), depth + 1)) return false;
    } while (take(','));
    return take(']') || fail("no ']'");
  }
  // A string, its escapes undone (\uXXXX as UTF-8, pairs of surrogates joined).
  bool string(std::string& out) {
    ++at_;
    while (at_ < text_.size() && text_[at_] != '"') {
      char const c = text_[at_++];
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ == text_.size()) break;
      char const e = text_[at_++];
      switch (e) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'u': {
          unsigned code = hex4();
          if (code >= 0xd800 && code < 0xdc00 && word("\\u")) code = 0x10000 + ((code - 0xd800) << 10) + (hex4() - 0xdc00);
          if (code < 0x80) {
            out += static_cast<char>(code);
          } else if (code < 0x800) {
            out += static_cast<char>(0xc0 | code >> 6), out += static_cast<char>(0x80 | (code & 0x3f));
          } else if (code < 0x10000) {
            out += static_cast<char>(0xe0 | code >> 12), out += static_cast<char>(0x80 | (code >> 6 & 0x3f));
            out += static_cast<char>(0x80 | (code & 0x3f));
          } else {
            out += static_cast<char>(0xf0 | code >> 18), out += static_cast<char>(0x80 | (code >> 12 & 0x3f));
            out += static_cast<char>(0x80 | (code >> 6 & 0x3f)), out += static_cast<char>(0x80 | (code & 0x3f));
          }
          break;
        }
        default: out += e;
      }
    }
    if (at_ >= text_.size()) return fail("a string does not end");
    ++at_;
    return true;
  }
  unsigned hex4() {
    unsigned code = 0;
    for (int k = 0; k < 4 && at_ < text_.size(); ++k, ++at_) {
      char const h = text_[at_];
      code = code * 16 + static_cast<unsigned>(h >= 'a' ? h - 'a' + 10 : h >= 'A' ? h - 'A' + 10 : h - '0') % 16;
    }
    return code;
  }

  std::string_view text_;
  std::size_t at_ = 0;
  std::string error_;
};

}  // namespace detail

// The JSON value of `text`, or nothing, with `error` saying what is wrong.
inline std::optional<json> parse_json(std::string_view text, std::string& error) {
  detail::json_parser parser(text);
  std::optional<json> value = parser.document();
  error = parser.error();
  return value;
}

}  // namespace objeval::study
