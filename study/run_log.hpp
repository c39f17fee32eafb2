// SPDX-License-Identifier: MIT
// One run of a study: its evaluations counted in order, its budget, its
// best-so-far value and point, and the rows of its data file: the first
// evaluation's, then one at each improvement (a value below every one
// before it; a NaN never is), or one at every evaluation, each with the
// point where asked. The file's last row is the run's last evaluation with
// its best-so-far value, so that the file says how long the run was: two
// rows at least, which IOHanalyzer needs. A run of one evaluation has one
// row, which IOHanalyzer cannot read (nor, after it, any other run of the
// folder): its meta file is kept apart, where IOHanalyzer does not look.
#pragma once

#include "simd/multiversion.hpp"
#include "study/study_files.hpp"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <dirent.h>

namespace objeval::study {

inline constexpr unsigned log_every_evaluation = 1;  // OBJEVAL_LOG_EVERY_EVALUATION
inline constexpr unsigned log_points = 2;            // OBJEVAL_LOG_POINTS
inline constexpr unsigned durable = 4;               // OBJEVAL_DURABLE
inline constexpr unsigned add_runs = 8;              // OBJEVAL_ADD_RUNS

// The names a run's meta file gives its own entries and the library's
// attributes; a caller's attribute takes none of them.
inline constexpr std::string_view reserved_attributes[] = {"instance", "evals",   "best",  "objeval_version",
                                                           "cpu",      "host",    "started", "ended",
                                                           "seconds",  "ending",  "failure", "signal"};

inline bool is_name_character(char c, bool first) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || (!first && c >= '0' && c <= '9');
}

// "seed=7;restart=2" as pairs; names of letters, digits and '_', none of
// the meta file's own, each once; values of UTF-8 text without ';', tabs or
// line ends.
inline std::vector<std::pair<std::string, std::string>> parse_attributes(std::string_view text) {
  std::vector<std::pair<std::string, std::string>> pairs;
  std::string_view rest = text;
  while (!rest.empty()) {
    std::string_view const part = rest.substr(0, rest.find(';'));
    rest.remove_prefix(std::min(rest.size(), part.size() + 1));
    if (part.empty()) continue;
    std::size_t const equals = part.find('=');
    std::string_view const name = part.substr(0, equals);
    bool good = equals != std::string_view::npos && !name.empty();
    for (std::size_t k = 0; good && k < name.size(); ++k) good = is_name_character(name[k], k == 0);
    for (std::string_view const reserved : reserved_attributes) good = good && name != reserved;
    std::string_view const value = good ? part.substr(equals + 1) : std::string_view();
    for (char const c : value) good = good && c != '\t' && c != '\n' && c != '\r';
    for (auto const& [known, v] : pairs) good = good && known != name;
    if (!good) {
      std::string reserved;
      for (std::string_view const r : reserved_attributes) reserved += (reserved.empty() ? "" : ", ") + std::string(r);
      throw failure{bad_argument, "attributes are name=value pairs joined by ';', each name once, of letters, "
                                  "digits and '_' (not " + reserved + "), not \"" + std::string(part) + "\""};
    }
    require_utf8("attribute " + std::string(name), value);
    pairs.emplace_back(name, value);
  }
  return pairs;
}

// What a study's runs share: where they write, and what they are of.
struct study_settings {
  std::string folder;  // FOLDER/ALGORITHM, made at open
  std::string algorithm;
  std::string info;
  unsigned options = 0;
};

namespace detail {

inline constexpr char record_name[] = "objeval-algorithm.txt";

// What the algorithm's folder says of itself: its exact name, and what its
// runs log, so that every run there is read alike.
inline std::string folder_record(study_settings const& s) {
  return "objeval study: the runs of one algorithm\nalgorithm: " + s.algorithm +
         "\nrows: " + (s.options & log_every_evaluation ? "every evaluation" : "improvements") +
         "\npoints: " + (s.options & log_points ? "logged" : "not logged") + "\n";
}

inline std::string read_file(std::string const& path) {
  std::string text;
  int const fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return text;
}

// Makes the folder's record, or holds this study to the one there: another
// name is another algorithm's folder (a hash shared, or a file system that
// ignores case), other rows would mix runs IOHanalyzer cannot read together.
inline void agree_with_folder(study_settings const& s) {
  std::string const path = s.folder + "/" + record_name, mine = folder_record(s);
  int const fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd >= 0) {
    bool const written = write_all(fd, mine);
    int const error = errno;
    ::close(fd);
    if (!written) {
      ::unlink(path.c_str());
      fail_writing("write", path, error);
    }
    return;
  }
  if (errno != EEXIST) fail_writing("write", path, errno);
  std::string theirs = read_file(path);
  // Another opener may be writing it this moment: its four lines come at once.
  for (int wait = 0; wait < 100 && std::count(theirs.begin(), theirs.end(), '\n') < 4; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    theirs = read_file(path);
  }
  if (theirs == mine) return;
  auto const line = [](std::string const& text, std::string_view key) {
    std::size_t const at = text.find("\n" + std::string(key) + ": ");
    if (at == std::string::npos) return std::string("?");
    std::size_t const from = at + key.size() + 3;
    return text.substr(from, text.find('\n', from) - from);
  };
  std::string const other = line(theirs, "algorithm");
  if (other != s.algorithm)
    throw failure{bad_argument, s.folder + " holds the runs of the algorithm \"" + other + "\", not \"" + s.algorithm +
                                    "\""};
  throw failure{bad_argument, "the runs of \"" + s.algorithm + "\" in " + s.folder + " log " +
                                  line(theirs, "rows") + ", points " + line(theirs, "points") +
                                  "; this study asks for " + line(mine, "rows") + ", points " + line(mine, "points") +
                                  ": one algorithm's runs log alike"};
}

// How many runs have ended in the folder: its meta files.
inline std::size_t ended_runs(std::string const& folder) {
  std::size_t count = 0;
  if (DIR* const dir = ::opendir(folder.c_str())) {
    while (dirent const* const entry = ::readdir(dir)) count += std::string_view(entry->d_name).ends_with(".json");
    ::closedir(dir);
  }
  return count;
}

}  // namespace detail

// Opens a study: FOLDER (made if missing) and the algorithm's folder in it,
// which records the algorithm's exact name. A byte written and taken back,
// so that a folder that takes no file, or a full disk, is said now rather
// than at the first run's end. Where the algorithm's folder already holds
// ended runs, and the opener did not say it adds to them (add_runs), one
// line on standard error says so: a second study in the same folder would
// otherwise mix with the first in silence.
inline std::shared_ptr<study_settings const> open_study(std::string const& folder, std::string const& algorithm,
                                                        std::string const& info, unsigned options) {
  if (algorithm.empty()) throw failure{bad_argument, "the algorithm has no name"};
  for (char const c : algorithm)
    if (static_cast<unsigned char>(c) < 0x20) throw failure{bad_argument, "the algorithm's name holds a control character"};
  require_utf8("the algorithm's name", algorithm);
  require_utf8("the algorithm's info", info);
  if (options & ~(log_every_evaluation | log_points | durable | add_runs))
    throw failure{bad_argument,
                  "options are OBJEVAL_LOG_EVERY_EVALUATION, OBJEVAL_LOG_POINTS, OBJEVAL_DURABLE and OBJEVAL_ADD_RUNS"};
  auto settings = std::make_shared<study_settings>();
  settings->folder = folder + "/" + folder_name_of(algorithm);
  settings->algorithm = algorithm;
  settings->info = info;
  settings->options = options;
  make_folder(folder);
  make_folder(settings->folder);
  std::string const probe = settings->folder + "/.objeval-probe-" + std::to_string(::getpid());
  int const fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) fail_writing("write into", settings->folder, errno);
  bool const written = write_all(fd, "\n") && ::fsync(fd) == 0;
  int const error = errno;
  ::close(fd);
  ::unlink(probe.c_str());
  if (!written) fail_writing("write into", settings->folder, error);
  detail::agree_with_folder(*settings);
  if (!(options & add_runs))
    if (std::size_t const runs = detail::ended_runs(settings->folder))
      std::fprintf(stderr, "objeval: %s already holds %zu ended run%s of \"%s\"; this study's runs are added to them\n",
                   settings->folder.c_str(), runs, runs == 1 ? "" : "s", algorithm.c_str());
  return settings;
}

// How a run ended, as its meta file says.
enum class ending { by_caller, by_exception, by_signal };

class run_log {
 public:
  run_log(std::shared_ptr<study_settings const> study, problem_files files, std::uint64_t budget,
          std::vector<std::pair<std::string, std::string>> attributes)
      : study_(std::move(study)), files_(std::move(files)), budget_(budget) {
    record_.attributes = std::move(attributes);
    best_point_.assign(files_.dimension, 0.0f);
    started_ = utc_now();
    start_ = std::chrono::steady_clock::now();
    fd_ = files_.new_data_file(record_.number);
    path_ = files_.folder + "/" + files_.data_file(record_.number);
    rows_ = "evaluations raw_y";
    if (logs_points())
      for (std::size_t k = 0; k < files_.dimension; ++k) rows_ += " x" + std::to_string(k);
    rows_ += '\n';
    flush();
  }
  run_log(run_log const&) = delete;
  run_log& operator=(run_log const&) = delete;
  ~run_log() {
    if (fd_ >= 0) ::close(fd_);
  }

  std::uint64_t evaluations() const { return record_.evaluations; }
  float best() const { return record_.best; }
  std::vector<float> const& best_point() const { return best_point_; }
  std::size_t dimension() const { return files_.dimension; }

  // How many of `count` points the budget lets the run evaluate.
  std::size_t allowed(std::size_t count) const {
    if (budget_ == 0) return count;
    std::uint64_t const left = budget_ - record_.evaluations;
    return count < left ? count : static_cast<std::size_t>(left);
  }

  // Counts `count` evaluations, in order: values[p] is the value of the
  // point that point(p, floats) writes.
  template <class Point>
  void record(std::size_t count, float const* values, Point const& point) {
    bool const every = study_->options & log_every_evaluation;
    for (std::size_t p = 0; p < count; ++p) {
      float const value = values[p];
      ++record_.evaluations;
      bool const improved = value < record_.best;
      if (improved) {
        record_.best = value;
        record_.best_at = record_.evaluations;
        point(p, best_point_.data());
      }
      if (improved || every || record_.evaluations == 1) {
        float const* at = improved ? best_point_.data() : nullptr;
        if (!improved && logs_points()) {
          point(p, scratch(files_.dimension));
          at = scratch_.data();
        }
        add_row(record_.evaluations, value, at);
      }
    }
  }

  // Writes the rows made so far once they fill a page, at the end of the
  // call that made them: a population's call writes nothing most times
  // (a write of a row or two cost a 15-point call a third more), and the
  // rows of a run never ended are never read. A full disk is said at the
  // call that meets it.
  void flush_full() {
    if (rows_.size() >= 4096) flush();
  }

  // Writes the rows made since the last write. What a full disk keeps from
  // the file waits for the next, so that no row is written twice or cut
  // short.
  void flush() {
    if (rows_.empty()) return;
    std::size_t written;
    bool const all = write_all(fd_, rows_, written);
    int const error = errno;
    rows_.erase(0, written);
    if (!all) fail_writing("write", path_, error);
  }

  // Ends the run: its last row, then its meta file; `detail` says why an
  // exception or a signal ended it. A run ended by an exception, or of one
  // evaluation, is kept apart, in a meta file IOHanalyzer does not read; the
  // latter is said on standard error. A run that made no evaluation leaves
  // nothing.
  void end(ending how = ending::by_caller, std::string const& detail = {}) {
    if (record_.evaluations == 0) return discard();
    if (last_row_ != record_.evaluations)
      add_row(record_.evaluations, record_.best, record_.best_at != 0 ? best_point_.data() : nullptr);
    flush();
    bool const durably = study_->options & durable;
    if (durably) {
      sync(fd_, path_);
      sync_folder(files_.folder + "/" + files_.data_folder());
    }
    int const closed = ::close(fd_), error = errno;
    fd_ = -1;
    if (closed != 0) fail_writing("write", path_, error);

    finished_run done = record_;
    if (record_.best_at != 0) done.best_point = best_point_;
    add_provenance(done, how, detail);
    meta_settings const settings{study_->algorithm, study_->info, columns(), bool(study_->options & log_every_evaluation)};
    std::string const meta = how == ending::by_exception  ? files_.failed_file(record_.number)
                             : record_.evaluations == 1 ? files_.single_file(record_.number)
                                                        : files_.meta_file(record_.number);
    replace_file(files_.folder + "/" + meta, meta_text(files_, settings, done), durably);
    if (how != ending::by_exception && record_.evaluations == 1)
      std::fprintf(stderr,
                   "objeval: run %llu of \"%s\" made one evaluation, which IOHanalyzer cannot read: it is kept "
                   "apart, in %s/%s\n",
                   static_cast<unsigned long long>(record_.number), study_->algorithm.c_str(), files_.folder.c_str(),
                   meta.c_str());
  }

  // Ends the run leaving nothing of it: its data file goes.
  void discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    ::unlink(path_.c_str());
  }

 private:
  bool logs_points() const { return study_->options & log_points; }
  std::vector<std::string> columns() const {
    std::vector<std::string> names{"evaluations", "raw_y"};
    if (logs_points())
      for (std::size_t k = 0; k < files_.dimension; ++k) names.emplace_back(1, 'x').append(std::to_string(k));
    return names;
  }
  float* scratch(std::size_t size) {
    scratch_.resize(size);
    return scratch_.data();
  }
  // A NaN is written as inf: no better than any value, as IOHanalyzer's
  // running minimum needs. A row without a point (no finite value found)
  // has NaN coordinates.
  void add_row(std::uint64_t evaluation, float value, float const* point) {
    rows_ += std::to_string(evaluation);
    rows_ += ' ';
    rows_ += number(value == value ? value : __builtin_inff());
    if (logs_points())
      for (std::size_t k = 0; k < files_.dimension; ++k) {
        rows_ += ' ';
        rows_ += point != nullptr ? number(point[k]) : "nan";
      }
    rows_ += '\n';
    last_row_ = evaluation;
  }

  static std::string utc_now() {
    std::time_t const now = std::time(nullptr);
    std::tm utc{};
    char text[32] = "";
    if (gmtime_r(&now, &utc) != nullptr) std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
  }

  void add_provenance(finished_run& done, ending how, std::string const& detail) const {
    static constexpr char const* cpu_names[] = {"AVX-512", "AVX2", "baseline"};
    static_assert(std::size(cpu_names) == batch_version_count);
    char host[256] = "";
    if (::gethostname(host, sizeof host - 1) != 0 || !is_utf8(host)) host[0] = '\0';
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f",
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count());
    bool const spent = budget_ != 0 && record_.evaluations >= budget_;
    auto& a = done.attributes;
    a.emplace_back("objeval_version", OBJEVAL_VERSION_TEXT);
    a.emplace_back("cpu", cpu_names[batch_version_index()]);
    a.emplace_back("host", host);
    a.emplace_back("started", started_);
    a.emplace_back("ended", utc_now());
    a.emplace_back("seconds", seconds);
    a.emplace_back("ending", how == ending::by_exception ? "ended by an exception"
                             : how == ending::by_signal  ? "ended by a signal"
                             : spent                     ? "budget spent"
                                                         : "ended by the caller");
    std::string const said = is_utf8(detail) ? detail : "(text that is not UTF-8)";
    if (how == ending::by_exception) a.emplace_back("failure", said);
    if (how == ending::by_signal) a.emplace_back("signal", said);
  }

  std::shared_ptr<study_settings const> study_;
  problem_files files_;
  std::uint64_t budget_;  // 0: none
  finished_run record_;
  std::vector<float> best_point_;
  std::uint64_t last_row_ = 0;
  int fd_ = -1;
  std::string path_;
  std::string rows_;
  std::vector<float> scratch_;
  std::string started_;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace objeval::study
