// SPDX-License-Identifier: MIT
#include "study/check.hpp"

#include "problems/table.hpp"
#include "study/json_reader.hpp"
#include "study/study_files.hpp"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string_view>
#include <system_error>
#include <vector>

namespace objeval::study {
namespace {

namespace fs = std::filesystem;

std::optional<float> read_float(std::string_view text) {
  float value;
  auto const [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::uint64_t> read_whole(std::string_view text) {
  std::uint64_t value;
  auto const [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::vector<std::string_view> fields_of(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t at = 0;;) {
    at = line.find_first_not_of(" \t\r", at);
    if (at == std::string_view::npos) return fields;
    std::size_t const end = std::min(line.find_first_of(" \t\r", at), line.size());
    fields.push_back(line.substr(at, end - at));
    at = end;
  }
}

std::string read_text(fs::path const& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Whether a version "A.B.C" is `least` or later.
bool at_least(std::string_view version, std::vector<std::uint64_t> const& least) {
  std::vector<std::uint64_t> parts;
  for (std::string_view rest = version; !rest.empty();) {
    std::string_view const part = rest.substr(0, rest.find('.'));
    rest.remove_prefix(std::min(rest.size(), part.size() + 1));
    parts.push_back(read_whole(part).value_or(0));
  }
  return parts >= least;
}

bool same_bits(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }

// As a data file holds a value: a NaN written as inf.
float as_logged(float value) { return value == value ? value : __builtin_inff(); }

// One block of a data file: its header's fields and its rows, each with its
// line number.
struct block {
  std::vector<std::string_view> header;
  std::vector<std::pair<std::size_t, std::vector<std::string_view>>> rows;
};

// Blocks start at a line whose first field holds no digit, as IOHanalyzer
// splits a data file into runs.
std::vector<block> blocks_of(std::string_view text) {
  std::vector<block> blocks;
  std::size_t number = 0;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t const end = std::min(text.find('\n', at), text.size());
    std::vector<std::string_view> fields = fields_of(text.substr(at, end - at));
    ++number;
    at = end + 1;
    if (fields.empty()) continue;
    if (fields[0].find_first_of("0123456789") == std::string_view::npos)
      blocks.push_back({std::move(fields), {}});
    else if (!blocks.empty())
      blocks.back().rows.emplace_back(number, std::move(fields));
  }
  return blocks;
}

// Where a meta file stands: read by IOHanalyzer, or kept apart.
enum class kept { read, failed, one_evaluation };

struct cell {
  std::size_t runs = 0;
  std::map<std::string, std::string> seeds;  // seed -> the meta file that has it
};

class checker {
 public:
  checker(fs::path folder, std::function<void(std::string const&)> const& say) : folder_(std::move(folder)), say_(say) {}

  check_summary run() {
    std::error_code error;
    if (!fs::is_directory(folder_, error))
      throw failure{bad_argument, "there is no study folder " + folder_.string()};
    std::vector<fs::path> metas, failed, single, data, unfinished;
    for (fs::recursive_directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
      if (!it->is_regular_file(error)) continue;
      fs::path const& path = it->path();
      std::string const name = path.filename().string();
      if (name.ends_with(".json")) metas.push_back(path);
      else if (name.ends_with(".failed")) failed.push_back(path);
      else if (name.ends_with(".one-evaluation")) single.push_back(path);
      else if (name.ends_with(".dat")) data.push_back(path);
      else if (name.ends_with(".new")) unfinished.push_back(path);
    }
    if (error) throw failure{bad_argument, "cannot read " + folder_.string() + ": " + error.message()};
    for (auto* list : {&metas, &failed, &single, &data, &unfinished}) std::sort(list->begin(), list->end());
    for (fs::path const& path : metas) meta(path, kept::read);
    for (fs::path const& path : failed) meta(path, kept::failed);
    for (fs::path const& path : single) meta(path, kept::one_evaluation);
    for (fs::path const& path : data)
      if (!read_data_.contains(path.lexically_normal()))
        fault(path, "a run begun and never ended: no meta file names this data file");
    for (fs::path const& path : unfinished) fault(path, "a meta file never renamed into place: its run did not end");
    compare_cells();
    summarise();
    return summary_;
  }

 private:
  void fault(fs::path const& path, std::string const& what) {
    ++summary_.faults;
    say_(path.string() + ": " + what);
  }

  void meta(fs::path const& path, kept where) {
    std::string error;
    std::optional<json> const document = parse_json(read_text(path), error);
    if (!document) return fault(path, "not JSON (" + error + "): IOHanalyzer reads every .json under the folder");
    json const& m = *document;
    auto const text = [&m](char const* name) {
      json const* v = m.at(name);
      return v != nullptr && v->is(json::kind::string) ? v->text : std::string();
    };
    json const* algorithm = m.at("algorithm");
    json const* algorithm_name = algorithm != nullptr ? algorithm->at("name") : nullptr;
    json const* scenarios = m.at("scenarios");
    json const* attributes = m.at("attributes");
    json const* maximization = m.at("maximization");
    json const* function_id = m.at("function_id");
    std::string const version = text("version");
    if (scenarios == nullptr || !scenarios->is(json::kind::array) || algorithm_name == nullptr ||
        !algorithm_name->is(json::kind::string) || attributes == nullptr || !attributes->is(json::kind::array) ||
        function_id == nullptr || !function_id->is(json::kind::number) ||
        !at_least(version, {0, 3, 3}))
      return fault(path, "no meta file of IOHprofiler's format 0.3.3 or later, yet IOHanalyzer reads every .json "
                         "under the folder");
    if (maximization == nullptr || !maximization->is(json::kind::boolean) || maximization->truth)
      fault(path, "does not say the problem is minimised");
    std::string const problem_name = text("function_name");
    problem_entry const* const problem = find_problem(problem_name.c_str());
    if (problem == nullptr) return fault(path, "names no problem of this library: \"" + problem_name + "\"");
    if (function_id->text != std::to_string(problem->study_id))
      fault(path, "function_id " + function_id->text + " is not " + problem_name + "'s, " +
                      std::to_string(problem->study_id));
    std::vector<std::string> columns;
    for (json const& a : attributes->items) columns.push_back(a.text);
    bool const points = columns.size() > 2;
    std::vector<std::string> expected{"evaluations", "raw_y"};
    if (points)
      for (std::size_t k = 0; k < problem->info.dimension; ++k) expected.emplace_back(1, 'x').append(std::to_string(k));
    if (columns != expected)
      return fault(path, "its attributes are not \"evaluations raw_y\" (and x0 to x" +
                             std::to_string(problem->info.dimension - 1) + " where points are logged)");
    std::string const rows = text("objeval_rows");
    key_ = {algorithm_name->text, problem_name};
    for (json const& scenario : scenarios->items) {
      json const* dimension = scenario.at("dimension");
      json const* data = scenario.at("path");
      json const* runs = scenario.at("runs");
      if (dimension == nullptr || data == nullptr || !data->is(json::kind::string) || runs == nullptr ||
          !runs->is(json::kind::array)) {
        fault(path, "a scenario without its dimension, path or runs");
        continue;
      }
      if (dimension->text != std::to_string(problem->info.dimension))
        fault(path, "dimension " + dimension->text + ", not " + problem_name + "'s");
      fs::path const data_path = (path.parent_path() / data->text).lexically_normal();
      read_data_.insert(data_path);
      std::error_code error;
      if (!fs::is_regular_file(data_path, error)) {
        fault(path, "its data file " + data_path.string() + " is not there");
        continue;
      }
      std::string const data_text = read_text(data_path);
      std::vector<block> const blocks = blocks_of(data_text);
      if (blocks.size() != runs->items.size()) {
        fault(data_path, std::to_string(blocks.size()) + " runs, where " + path.filename().string() + " names " +
                             std::to_string(runs->items.size()));
        continue;
      }
      for (std::size_t r = 0; r < blocks.size(); ++r)
        run(path, data_path, runs->items[r], blocks[r], columns, *problem, rows, where);
    }
  }

  void run(fs::path const& meta_path, fs::path const& data_path, json const& entry, block const& rows,
           std::vector<std::string> const& columns, problem_entry const& problem, std::string const& mode,
           kept where) {
    ++summary_.runs;
    std::size_t const d = problem.info.dimension;
    if (std::vector<std::string>(rows.header.begin(), rows.header.end()) != columns)
      fault(data_path, "its header is not the meta file's attributes");
    if (rows.rows.size() < 2 && where != kept::one_evaluation)
      fault(data_path, std::to_string(rows.rows.size()) + " row" + (rows.rows.empty() ? "s" : "") +
                           ": IOHanalyzer fails on a run of fewer than two, and with it on the whole folder");
    std::uint64_t last = 0, first_best = 0;
    float previous = __builtin_inff(), least = __builtin_inff();
    bool any = false;
    std::vector<float> point(d);
    for (std::size_t k = 0; k < rows.rows.size(); ++k) {
      auto const& [line, fields] = rows.rows[k];
      std::string const where = "line " + std::to_string(line) + ": ";
      if (fields.size() != columns.size()) {
        fault(data_path, where + std::to_string(fields.size()) + " fields, not " + std::to_string(columns.size()));
        continue;
      }
      std::optional<std::uint64_t> const evaluation = read_whole(fields[0]);
      std::optional<float> const y = read_float(fields[1]);
      if (!evaluation || !y || *y != *y) {
        fault(data_path, where + "not a count of evaluations and a value" + (y && *y != *y ? " (a NaN)" : ""));
        continue;
      }
      if (any && *evaluation == last) fault(data_path, where + "evaluation " + std::to_string(last) + " again");
      if (any && *evaluation < last)
        fault(data_path, where + "the evaluations fall back, from " + std::to_string(last) + " to " +
                             std::to_string(*evaluation));
      if (mode == "improvements" && any) {
        if (*y > previous)
          fault(data_path, where + "the best-so-far rises, from " + number(previous) + " to " + number(*y));
        else if (*y == previous && k + 1 != rows.rows.size())
          fault(data_path, where + "a row that improves nothing");
      }
      if (*y < least) least = *y, first_best = *evaluation;
      any = true;
      last = *evaluation;
      previous = *y;
      if (fields.size() > 2 && *evaluation != 0) {
        bool whole = true;
        for (std::size_t c = 0; c < d; ++c) {
          std::optional<float> const x = read_float(fields[2 + c]);
          whole = whole && x && *x == *x;
          point[c] = x.value_or(0.0f);
        }
        if (whole) evaluated(data_path, where, problem, point, *y);
      }
    }
    json const* evals = entry.at("evals");
    json const* instance = entry.at("instance");
    json const* best = entry.at("best");
    if (evals == nullptr || instance == nullptr || best == nullptr)
      return fault(meta_path, "a run without its evals, instance or best");
    if (any && evals->text != std::to_string(last))
      fault(data_path, "the last row is evaluation " + std::to_string(last) + ", the run made " + evals->text);
    json const* y = best->at("y");
    json const* at = best->at("evaluations");
    json const* x = best->at("x");
    float best_y = __builtin_inff();  // null: no finite value
    bool const readable = y != nullptr && (y->is(json::kind::null) || read_float(y->text));
    if (readable && !y->is(json::kind::null)) best_y = *read_float(y->text);
    if (!readable || !same_bits(best_y, least))
      fault(meta_path, "run " + instance->text + ": the best is " + (y != nullptr ? y->text : "missing") +
                           ", the data file's least value " + number(least));
    else if (least < __builtin_inff() && (at == nullptr || at->text != std::to_string(first_best)))
      fault(meta_path, "run " + instance->text + ": the best was first reached at evaluation " +
                           std::to_string(first_best) + ", not " + (at != nullptr ? at->text : "none"));
    if (readable && x != nullptr && x->is(json::kind::array) && !x->items.empty()) {
      bool whole = x->items.size() == d;
      for (std::size_t c = 0; whole && c < d; ++c) {
        std::optional<float> const v = read_float(x->items[c].text);
        whole = v.has_value();
        point[c] = v.value_or(0.0f);
      }
      if (!whole) fault(meta_path, "run " + instance->text + ": the best point is not " + std::to_string(d) + " numbers");
      else evaluated(meta_path, "run " + instance->text + "'s best point: ", problem, point, best_y);
    }
    if (where == kept::failed) {
      json const* failure = entry.at("failure");
      return fault(meta_path, "run " + instance->text + " ended by an exception (" +
                                  (failure != nullptr ? failure->text : std::string("no reason given")) +
                                  "): kept apart, where IOHanalyzer does not read it");
    }
    if (where == kept::one_evaluation)
      return fault(meta_path, "run " + instance->text + " made one evaluation, which IOHanalyzer cannot read: "
                                  "kept apart, where IOHanalyzer does not read it");
    cell& c = cells_[key_];
    ++c.runs;
    auto const [known, fresh] = instances_[key_].emplace(instance->text, meta_path.string());
    if (!fresh)
      fault(meta_path, "run " + instance->text + " has the instance of " + known->second +
                           "'s: IOHanalyzer keeps only one of them");
    if (json const* seed = entry.at("seed")) {
      auto const [other, unique] = c.seeds.emplace(seed->text, meta_path.string());
      if (!unique) fault(meta_path, "seed " + seed->text + " again: " + other->second + " has it too");
    }
  }

  // A logged point evaluated again: its value must be the logged one.
  void evaluated(fs::path const& path, std::string const& where, problem_entry const& problem,
                 std::vector<float> const& point, float logged) {
    ++summary_.evaluated;
    float const value = as_logged(problem.one(point.data()));
    if (!same_bits(value, logged))
      fault(path, where + "the point's value is " + number(value) + ", the file says " + number(logged));
  }

  // Every algorithm has as many runs on every problem.
  void compare_cells() {
    if (cells_.empty()) return;
    std::set<std::string> algorithms, problem_names;
    for (auto const& [key, c] : cells_) algorithms.insert(key.first), problem_names.insert(key.second);
    std::size_t low = ~std::size_t{0}, high = 0;
    std::string counts;
    for (std::string const& a : algorithms)
      for (std::string const& p : problem_names) {
        auto const found = cells_.find({a, p});
        std::size_t const n = found == cells_.end() ? 0 : found->second.runs;
        low = std::min(low, n), high = std::max(high, n);
        counts += (counts.empty() ? "" : ", ") + a + " on " + p + " " + std::to_string(n);
      }
    if (low != high) fault(folder_, "the algorithms have unequal runs on the problems: " + counts);
  }

  void summarise() {
    std::set<std::string> algorithms, problem_names;
    for (auto const& [key, c] : cells_) algorithms.insert(key.first), problem_names.insert(key.second);
    say_(folder_.string() + ": " + std::to_string(summary_.runs) + " runs of " + std::to_string(algorithms.size()) +
         " algorithms on " + std::to_string(problem_names.size()) + " problems, " +
         std::to_string(summary_.evaluated) + " logged values evaluated again: " +
         (summary_.faults == 0 ? std::string("sound") : std::to_string(summary_.faults) + " faults"));
  }

  fs::path folder_;
  std::function<void(std::string const&)> const& say_;
  check_summary summary_;
  std::set<fs::path> read_data_;
  std::pair<std::string, std::string> key_;  // the algorithm and problem of the meta file being read
  std::map<std::pair<std::string, std::string>, cell> cells_;
  std::map<std::pair<std::string, std::string>, std::map<std::string, std::string>> instances_;
};

}  // namespace

check_summary check_study(std::string const& folder, std::function<void(std::string const&)> const& say) {
  return checker(folder, say).run();
}

}  // namespace objeval::study
