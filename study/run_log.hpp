// SPDX-License-Identifier: MIT
// One run of a study: its evaluations counted in order, its budget, its
// best-so-far value and point, and the rows of its data file: one at each
// improvement (a value below every one before it; a NaN never is), or at
// every evaluation, each with the point where asked. The file's last row is
// the run's last evaluation with its best-so-far value, so that the file
// says how long the run was.
#pragma once

#include "study/study_files.hpp"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace objeval::study {

inline constexpr unsigned log_every_evaluation = 1;  // OBJEVAL_LOG_EVERY_EVALUATION
inline constexpr unsigned log_points = 2;            // OBJEVAL_LOG_POINTS

// What a study's runs share: where they write, and what they are of.
struct study_settings {
  std::string folder;  // FOLDER/ALGORITHM, made at open
  std::string algorithm;
  std::string info;
  unsigned options = 0;
};

// Opens a study: FOLDER (made if missing) and FOLDER/ALGORITHM in it. A
// byte written and taken back, so that a folder that takes no file, or a
// full disk, is said now rather than at the first run's end.
inline std::shared_ptr<study_settings const> open_study(std::string const& folder, std::string const& algorithm,
                                                        std::string const& info, unsigned options) {
  if (algorithm.empty()) throw failure{bad_argument, "the algorithm has no name"};
  for (char const c : algorithm)
    if (static_cast<unsigned char>(c) < 0x20) throw failure{bad_argument, "the algorithm's name holds a control character"};
  if (options & ~(log_every_evaluation | log_points))
    throw failure{bad_argument, "options are OBJEVAL_LOG_EVERY_EVALUATION and OBJEVAL_LOG_POINTS"};
  auto settings = std::make_shared<study_settings>();
  settings->folder = folder + "/" + file_name_of(algorithm);
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
  return settings;
}

class run_log {
 public:
  run_log(std::shared_ptr<study_settings const> study, problem_files files, std::uint64_t budget,
          std::vector<std::pair<std::string, std::string>> attributes)
      : study_(std::move(study)), files_(std::move(files)), budget_(budget) {
    record_.attributes = std::move(attributes);
    record_.best_point.assign(files_.dimension, 0.0f);
    fd_ = files_.new_data_file(record_.number);
    path_ = files_.folder + "/" + files_.data_file(record_.number);
    rows_ = "evaluations raw_y";
    if (study_->options & log_points)
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
  std::vector<float> const& best_point() const { return record_.best_point; }
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
        point(p, record_.best_point.data());
      }
      if (improved || every) {
        if (!improved && (study_->options & log_points)) point(p, scratch(files_.dimension));
        add_row(record_.evaluations, value, improved ? record_.best_point.data() : scratch_.data());
      }
    }
  }

  // Writes the rows made since the last flush, as the call that made them ends.
  void flush() {
    if (rows_.empty()) return;
    if (!write_all(fd_, rows_)) fail_writing("write", path_, errno);
    rows_.clear();
  }

  // Ends the run: its last row, then its line in the study. A run that
  // made no evaluation leaves nothing.
  void end() {
    if (record_.evaluations == 0) {
      ::close(fd_);
      fd_ = -1;
      ::unlink(path_.c_str());
      return;
    }
    if (last_row_ != record_.evaluations) add_row(record_.evaluations, record_.best, record_.best_point.data());
    flush();
    if (::close(fd_) != 0) {
      fd_ = -1;
      fail_writing("write", path_, errno);
    }
    fd_ = -1;
    finished_run done = record_;
    if (!(done.best < __builtin_inff())) done.best_point.clear();
    std::vector<std::string> columns{"evaluations", "raw_y"};
    if (study_->options & log_points)
      for (std::size_t k = 0; k < files_.dimension; ++k) columns.push_back("x" + std::to_string(k));
    files_.add_run(done, study_->algorithm, study_->info, columns);
  }

 private:
  float* scratch(std::size_t size) {
    scratch_.resize(size);
    return scratch_.data();
  }
  // A NaN is written as inf: no better than any value, as IOHanalyzer's
  // running minimum needs.
  void add_row(std::uint64_t evaluation, float value, float const* point) {
    rows_ += std::to_string(evaluation);
    rows_ += ' ';
    rows_ += number(value == value ? value : __builtin_inff());
    if (study_->options & log_points)
      for (std::size_t k = 0; k < files_.dimension; ++k) {
        rows_ += ' ';
        rows_ += number(point[k]);
      }
    rows_ += '\n';
    last_row_ = evaluation;
  }

  std::shared_ptr<study_settings const> study_;
  problem_files files_;
  std::uint64_t budget_;  // 0: none
  finished_run record_;
  std::uint64_t last_row_ = 0;
  int fd_ = -1;
  std::string path_;
  std::string rows_;
  std::vector<float> scratch_;
};

}  // namespace objeval::study
