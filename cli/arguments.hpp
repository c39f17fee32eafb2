// SPDX-License-Identifier: MIT
// objeval-eval's command line: its options, its usage, and what it says of
// an argument it cannot take.
#pragma once

#include "problems/table.hpp"
#include "threads/placement.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace objeval::points_cli {

struct settings {
  problem_entry const* problem = nullptr;
  std::string_view file;  // empty or "-": standard input
  bool round_trip = false;
  bool header = false;
  unsigned threads = 0;
  unsigned spin_microseconds = 0;  // awake this long for the next line from a pipe
  // One run of a study: --log FOLDER --algorithm NAME [--info TEXT] [--budget N]
  // [--attribute NAME=VALUE]... [--durable].
  std::string_view log_folder, algorithm, info;
  std::uint64_t budget = 0;  // 0: none
  std::string attributes;    // "name=value;..."
  bool durable = false;
  bool study() const { return !log_folder.empty(); }
  std::string_view check_folder;  // --check FOLDER: check a study, evaluate nothing
};

namespace arguments_detail {

inline void print_usage(std::FILE* to) {
  std::fputs(
      "usage: objeval-eval [--round-trip] [--header] [--threads N] [--] PROBLEM [FILE]\n"
      "       objeval-eval PROBLEM [FILE] --log FOLDER --algorithm NAME [--info TEXT] [--budget N]\n"
      "                    [--attribute NAME=VALUE]... [--durable]\n"
      "       objeval-eval --check FOLDER\n"
      "       objeval-eval --help | --version\n"
      "\n"
      "Evaluates one point per line of FILE (or standard input, also as \"-\") and writes\n"
      "one value per line. PROBLEM is one of:\n",
      to);
  for (problem_entry const& p : problems) std::fprintf(to, "  %-9s %3zu numbers a point\n", p.info.name, p.info.dimension);
  std::fputs(
      "Numbers are separated by white space, or on a line with commas by commas, each\n"
      "field one number with blanks around it allowed; an empty field (a leading, doubled\n"
      "or trailing comma) or a field of two numbers (\"0,5 0,5\") is an error. Each is\n"
      "read as the programs read input.txt, \"nan(...)\" too. A line ends at \"\\n\",\n"
      "\"\\r\\n\" or \"\\r\". Values are written with \"%f\", as the programs write them.\n"
      "Blank lines and lines starting with '#' are skipped, and\n"
      "so is a byte-order mark at the start. From a pipe or a terminal, values are\n"
      "written as soon as no more input is waiting: a caller may write a line and wait\n"
      "for its value.\n"
      "\n"
      "A bad line (a wrong count, an empty field, a field that is not a number, a line\n"
      "over 64 MiB) stops the run with a message naming it, and exit status 1; input that\n"
      "cannot be opened or read gives exit status 2.\n"
      "\n"
      "  --round-trip  write \"%.9g\", which reads back to the same float\n"
      "  --header      the first line that is not a comment holds column names: skip it\n"
      "  --threads N   threads that read and evaluate (default and 0: one per CPU this\n"
      "                process may use, never more); the output does not depend on it\n"
      "  --spin US     from a pipe, stay awake up to US microseconds for the next line\n"
      "                before sleeping, where a sleeping CPU wakes slowly; it burns up to\n"
      "                US of CPU time a line (default 0: sleep at once)\n"
      "  --            the end of the options: a FILE may start with '-'\n"
      "\n"
      "A study: the run is one run of algorithm NAME (described by TEXT) in the study\n"
      "in FOLDER, every line answered one evaluation, logged where IOHanalyzer reads it.\n"
      "  --log FOLDER      the study's folder (made if missing)\n"
      "  --algorithm NAME  the algorithm this run is of\n"
      "  --info TEXT       its settings, for the study\n"
      "  --budget N        answer N lines at most (a whole number from 1 to 2^64-1, in\n"
      "                    digits or as 1e4): then say the budget is spent, and exit\n"
      "                    with status 3\n"
      "  --attribute NAME=VALUE  recorded with the run (a seed, say); given once a name\n"
      "  --durable         the run counts as ended once its files are on the disk\n"
      "SIGINT, SIGTERM and SIGHUP end the run with what was answered, add it to the\n"
      "study, then end the program by the same signal.\n"
      "\n"
      "  --check FOLDER    read every run of the study in FOLDER as IOHanalyzer would,\n"
      "                    evaluate its logged points again, and say what is wrong, file\n"
      "                    by file; exit status 0 for a sound study, 1 otherwise\n",
      to);
}

// A count written in digits only; any count past 10^9 is as good as 10^9.
inline std::optional<unsigned> parse_count(std::string_view text) {
  if (text.empty()) return std::nullopt;
  unsigned value = 0;
  for (char const c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value > 100'000'000 ? 1'000'000'000 : value * 10 + static_cast<unsigned>(c - '0');
  }
  return value;
}

// A budget: a whole number from 1 to 2^64-1, in digits or as decimal text
// whose exact value is one ("1e4", "2.5e3"); nothing for anything else.
inline std::optional<std::uint64_t> parse_budget(std::string_view text) {
  std::string digits;
  std::size_t k = text.starts_with('+') ? 1 : 0;
  long fraction = 0;
  bool point = false;
  for (; k < text.size() && ((text[k] >= '0' && text[k] <= '9') || (text[k] == '.' && !point)); ++k) {
    if (text[k] == '.') {
      point = true;
      continue;
    }
    digits += text[k];
    fraction += point;
  }
  if (digits.empty()) return std::nullopt;
  long exponent = 0;
  if (k < text.size() && (text[k] == 'e' || text[k] == 'E')) {
    bool const negative = k + 1 < text.size() && text[k + 1] == '-';
    k += k + 1 < text.size() && (text[k + 1] == '-' || text[k + 1] == '+') ? 2 : 1;
    if (k == text.size()) return std::nullopt;
    for (; k < text.size() && text[k] >= '0' && text[k] <= '9'; ++k) exponent = std::min(exponent * 10 + (text[k] - '0'), 100000L);
    if (negative) exponent = -exponent;
  }
  if (k != text.size()) return std::nullopt;
  long scale = exponent - fraction;  // the value is digits * 10^scale
  for (; scale < 0; ++scale) {
    if (digits.back() != '0') return std::nullopt;  // not a whole number
    digits.pop_back();
    if (digits.empty()) return std::nullopt;
  }
  std::uint64_t value = 0;
  for (char const c : digits)
    if (__builtin_mul_overflow(value, 10u, &value) || __builtin_add_overflow(value, unsigned(c - '0'), &value))
      return std::nullopt;
  for (; scale > 0 && value != 0; --scale)
    if (__builtin_mul_overflow(value, 10u, &value)) return std::nullopt;
  if (value == 0) return std::nullopt;
  return value;
}

inline int fail_usage(std::string const& message) {
  std::fprintf(stderr, "objeval-eval: %s\nTry 'objeval-eval --help' for more information.\n", message.c_str());
  return 2;
}

inline std::string quoted(std::string_view text) {
  std::string out(1, '"');
  out.append(text);
  out.push_back('"');
  return out;
}

// What to say of an option not known: the known one it looks like, or how a
// file whose name starts with '-' is given.
inline std::string unknown_option(std::string_view argument) {
  std::string message = "unknown option " + quoted(argument);
  auto const letters = [](std::string_view text) {
    std::string kept;
    for (char const c : text.substr(0, text.find('=')))
      if (c != '-') kept += c;
    return kept;
  };
  std::string const name = letters(argument);
  for (std::string_view const known : {"--threads", "--round-trip", "--header", "--help", "--version", "--spin", "--log",
                                       "--algorithm", "--info", "--budget", "--attribute", "--durable", "--check"})
    if (!name.empty() && (letters(known).starts_with(name) || name.starts_with(letters(known))))
      return message + "; did you mean " + std::string(known) + "?";
  if (!argument.starts_with("--"))
    message += "; a file whose name starts with '-' goes after \"--\": objeval-eval PROBLEM -- " + std::string(argument);
  return message;
}

inline std::string problem_names() {
  std::string names;
  for (problem_entry const& p : problems) names += (names.empty() ? "" : ", ") + std::string(p.info.name);
  return names;
}

}  // namespace arguments_detail

// The value of `--name VALUE` or `--name=VALUE` at argv[n], moving n past it;
// nothing where the argument is another option. A missing value is empty.
inline std::optional<std::string_view> option_value(std::string_view argument, std::string_view name, int& n,
                                                    int argc, char** argv) {
  if (argument == name) return n + 1 < argc ? std::string_view(argv[++n]) : std::string_view();
  if (argument.starts_with(name) && argument.size() > name.size() && argument[name.size()] == '=')
    return argument.substr(name.size() + 1);
  return std::nullopt;
}

// The settings the arguments give, or the exit status where they end the
// run: 0 for --help and --version, 2 for a mistake, said on standard error.
inline std::variant<settings, int> parse_arguments(int argc, char** argv) {
  using namespace arguments_detail;
  settings chosen;
  chosen.threads = thread_count(0);
  bool options = true;
  std::vector<std::string_view> arguments;
  for (int n = 1; n < argc; ++n) {
    std::string_view const argument = argv[n];
    if (!options || argument == "-" || !argument.starts_with("-")) {
      arguments.push_back(argument);
    } else if (argument == "--") {
      options = false;
    } else if (argument == "-h" || argument == "--help") {
      print_usage(stdout);
      return 0;
    } else if (argument == "--version") {
      std::printf("objeval-eval %s\n", OBJEVAL_VERSION_TEXT);
      return 0;
    } else if (argument == "--round-trip") {
      chosen.round_trip = true;
    } else if (argument == "--header") {
      chosen.header = true;
    } else if (auto const value = option_value(argument, "--spin", n, argc, argv)) {
      std::optional<unsigned> const microseconds = parse_count(*value);
      if (!microseconds || *microseconds > 1'000'000)
        return fail_usage("--spin takes microseconds in digits, up to 1000000 (0 for none), not " + quoted(*value));
      chosen.spin_microseconds = *microseconds;
    } else if (auto const value = option_value(argument, "--log", n, argc, argv)) {
      if (value->empty()) return fail_usage("--log takes a folder");
      chosen.log_folder = *value;
    } else if (auto const value = option_value(argument, "--algorithm", n, argc, argv)) {
      if (value->empty()) return fail_usage("--algorithm takes a name");
      chosen.algorithm = *value;
    } else if (auto const value = option_value(argument, "--info", n, argc, argv)) {
      chosen.info = *value;
    } else if (auto const value = option_value(argument, "--budget", n, argc, argv)) {
      std::optional<std::uint64_t> const budget = parse_budget(*value);
      if (!budget)
        return fail_usage("--budget takes a whole number of evaluations from 1 to 18446744073709551615, not " +
                          quoted(*value));
      chosen.budget = *budget;
    } else if (auto const value = option_value(argument, "--attribute", n, argc, argv)) {
      if (value->find('=') == std::string_view::npos || value->find(';') != std::string_view::npos)
        return fail_usage("--attribute takes NAME=VALUE, the value without ';', not " + quoted(*value));
      chosen.attributes += (chosen.attributes.empty() ? "" : ";") + std::string(*value);
    } else if (argument == "--durable") {
      chosen.durable = true;
    } else if (auto const value = option_value(argument, "--check", n, argc, argv)) {
      if (value->empty()) return fail_usage("--check takes a study's folder");
      chosen.check_folder = *value;
    } else if (argument == "--threads" || argument.starts_with("--threads=")) {
      std::string_view value = argument.substr(std::strlen("--threads"));
      if (value.empty()) {
        if (n + 1 == argc) return fail_usage("--threads takes a count");
        value = argv[++n];
      } else {
        value.remove_prefix(1);
      }
      std::optional<unsigned> const count = parse_count(value);
      if (!count) return fail_usage("--threads takes a count in digits (0 for one per CPU), not " + quoted(value));
      chosen.threads = thread_count(*count);
    } else {
      return fail_usage(unknown_option(argument));
    }
  }
  if (!chosen.check_folder.empty()) {
    if (!arguments.empty() || chosen.study())
      return fail_usage("--check FOLDER goes alone: it evaluates no input");
    return chosen;
  }
  if (arguments.empty()) return fail_usage("name a problem: " + problem_names());
  if (arguments.size() > 2)
    return fail_usage("one problem and at most one file, not " + std::to_string(arguments.size()) + " arguments: " +
                      quoted(arguments[2]) + " is one too many");
  for (problem_entry const& p : problems)
    if (p.info.name == arguments[0]) chosen.problem = &p;
  if (chosen.problem == nullptr)
    return fail_usage("no such problem " + quoted(arguments[0]) + "; the problems are " + problem_names());
  if (arguments.size() == 2) chosen.file = arguments[1];
  if (chosen.study() != !chosen.algorithm.empty()) return fail_usage("--log and --algorithm go together: a study's run");
  if ((chosen.budget != 0 || !chosen.info.empty() || !chosen.attributes.empty() || chosen.durable) && !chosen.study())
    return fail_usage("--budget, --info, --attribute and --durable are a study's: give --log FOLDER --algorithm NAME too");
  return chosen;
}

}  // namespace objeval::points_cli
