// SPDX-License-Identifier: MIT
// A study's files, in the format IOHanalyzer reads (IOHprofiler's, the
// JSON meta files of version 0.3.3 and later):
//
//   FOLDER/ALGORITHM/objeval-algorithm.txt                 the exact name, and what runs log
//   FOLDER/ALGORITHM/IOHprofiler_f<id>_<problem>_run<k>.json   run k's meta file, once it has ended
//   FOLDER/ALGORITHM/IOHprofiler_f<id>_<problem>_run<k>.failed run k's, had it ended by an exception
//   FOLDER/ALGORITHM/IOHprofiler_f<id>_<problem>_run<k>.one-evaluation  or made only one
//   FOLDER/ALGORITHM/data_f<id>_<problem>/IOHprofiler_f<id>_DIM<d>_run<k>.dat
//
// ALGORITHM is the algorithm's folder name (folder_name_of). Each run writes
// a data file of its own, numbered k when it starts: made with O_EXCL, so
// that threads and processes writing one folder never share one. Its rows
// go to it as they are made, at each call's end. When the run ends, its meta
// file is written under a name IOHanalyzer does not read and renamed into
// place: no lock, no other file read or rewritten, the same cost at the
// 100,000th run as at the first. A run is in the study once its meta file
// is; a run a killed process left unfinished has a data file and no meta
// file, which IOHanalyzer never reads. Each meta file holds one scenario,
// whose instance is the run's number, so that IOHanalyzer, which drops a
// data set whose instances repeat another's, keeps every run. id is the
// problem's study id, fixed in its descriptor.
#pragma once

#include "problems/table.hpp"
#include "study/text.hpp"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace objeval::study {

// A failure with the words to say it in: which file, and why.
struct failure {
  int status;  // an objeval_status
  std::string message;
};

inline constexpr int cannot_write = 6;  // OBJEVAL_CANNOT_WRITE
inline constexpr int bad_argument = 7;  // OBJEVAL_BAD_ARGUMENT

[[noreturn]] inline void fail_writing(std::string const& what, std::string const& path, int error) {
  throw failure{cannot_write, "cannot " + what + " " + path + ": " + std::strerror(error)};
}

// Text a study writes is UTF-8: anything else is refused, never written as is.
inline void require_utf8(std::string_view what, std::string_view text) {
  if (!is_utf8(text)) throw failure{bad_argument, std::string(what) + " is not UTF-8 text"};
}

inline void make_folder(std::string const& path) {
  if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) fail_writing("make the folder", path, errno);
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) fail_writing("use the folder", path, ENOTDIR);
}

inline bool exists(std::string const& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0;
}

// Writes `text`, counting into `written` what reached the file; false, with
// errno, where the rest could not.
inline bool write_all(int fd, std::string_view text, std::size_t& written) {
  written = 0;
  while (written < text.size()) {
    ssize_t const n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    written += static_cast<std::size_t>(n);
  }
  return true;
}

inline bool write_all(int fd, std::string_view text) {
  std::size_t written;
  return write_all(fd, text, written);
}

// Flushes a file, or a folder's entries, to the disk.
inline void sync(int fd, std::string const& path) {
  if (::fsync(fd) != 0) fail_writing("flush to the disk", path, errno);
}

inline void sync_folder(std::string const& path) {
  int const fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) fail_writing("open", path, errno);
  int const synced = ::fsync(fd), error = errno;
  ::close(fd);
  if (synced != 0) fail_writing("flush to the disk", path, error);
}

// `text` in place of `path`, all or nothing: written under a name of its
// own, then renamed over it; with `durable`, on the disk before the call
// returns.
inline void replace_file(std::string const& path, std::string_view text, bool durable) {
  std::string const temporary = path + ".new";
  int const fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) fail_writing("write", temporary, errno);
  bool written = write_all(fd, text) && (!durable || ::fsync(fd) == 0);
  int error = errno;
  if (::close(fd) != 0 && written) written = false, error = errno;
  if (!written) {
    ::unlink(temporary.c_str());
    fail_writing("write", temporary, error);
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    error = errno;
    ::unlink(temporary.c_str());
    fail_writing("write", path, error);
  }
  if (durable) sync_folder(path.substr(0, path.rfind('/')));
}

// One problem's files in one algorithm's folder: every name a study's files
// take is made here.
struct problem_files {
  std::string folder;  // FOLDER/ALGORITHM
  unsigned id;         // the problem's study id
  std::string name;
  std::size_t dimension;

  problem_files(std::string algorithm_folder, problem_entry const& problem)
      : folder(std::move(algorithm_folder)),
        id(problem.study_id),
        name(problem.info.name),
        dimension(problem.info.dimension) {}

  std::string stem() const { return "IOHprofiler_f" + std::to_string(id) + "_" + name; }
  std::string data_folder() const { return "data_f" + std::to_string(id) + "_" + name; }
  // Relative to `folder`, as a meta file names it.
  std::string data_file(std::uint64_t run) const {
    return data_folder() + "/IOHprofiler_f" + std::to_string(id) + "_DIM" + std::to_string(dimension) + "_run" +
           std::to_string(run) + ".dat";
  }
  std::string meta_file(std::uint64_t run) const { return stem() + "_run" + std::to_string(run) + ".json"; }
  std::string failed_file(std::uint64_t run) const { return stem() + "_run" + std::to_string(run) + ".failed"; }
  std::string single_file(std::uint64_t run) const { return stem() + "_run" + std::to_string(run) + ".one-evaluation"; }

  // A new run's data file, numbered where no other is. A process's first
  // run of a folder finds the first free number by doubling, then halving:
  // a few look-ups, however many runs are there; its later runs go on from
  // its last.
  int new_data_file(std::uint64_t& run) const {
    std::string const folder_of_data = folder + "/" + data_folder();
    make_folder(folder_of_data);
    static std::mutex numbers_lock;
    static std::map<std::string, std::uint64_t> last_numbers;
    std::lock_guard const lock(numbers_lock);
    auto [last, first_time] = last_numbers.try_emplace(folder_of_data, 0);
    if (first_time) {
      auto const taken = [this](std::uint64_t k) { return exists(folder + "/" + data_file(k)); };
      std::uint64_t free = 1;
      while (taken(free)) free *= 2;
      for (std::uint64_t used = free / 2; free - used > 1;) {  // `used` is taken (or 0), `free` is not
        std::uint64_t const middle = used + (free - used) / 2;
        (taken(middle) ? used : free) = middle;
      }
      last->second = free - 1;
    }
    for (run = last->second + 1;; ++run) {
      std::string const path = folder + "/" + data_file(run);
      int const fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_APPEND, 0666);
      if (fd >= 0) {
        last->second = run;
        return fd;
      }
      if (errno != EEXIST) fail_writing("make the data file", path, errno);
    }
  }
};

// What a run's meta file says of it.
struct finished_run {
  std::uint64_t number = 0;
  std::uint64_t evaluations = 0;
  std::uint64_t best_at = 0;  // the evaluation that found the best, 0 for none
  float best = __builtin_inff();
  std::vector<float> best_point;  // empty where none
  // The caller's attributes, then the library's: its version, the CPU, the
  // host, the start, the end, the seconds, how the run ended.
  std::vector<std::pair<std::string, std::string>> attributes;
};

// What a study's meta files share.
struct meta_settings {
  std::string algorithm;
  std::string info;
  std::vector<std::string> columns;  // "evaluations", "raw_y", then "x0" ...
  bool every_evaluation;
};

// A run's meta file: the problem, the algorithm, and the run as a scenario
// of its own.
inline std::string meta_text(problem_files const& files, meta_settings const& settings, finished_run const& run) {
  std::string text = "{\n  \"version\": \"0.3.3\",\n  \"suite\": \"objeval\",\n  \"function_id\": " +
                     std::to_string(files.id) + ",\n  \"function_name\": " + json_string(files.name) +
                     ",\n  \"maximization\": false,\n  \"algorithm\": {\"name\": " + json_string(settings.algorithm) +
                     ", \"info\": " + json_string(settings.info) + "},\n  \"attributes\": [";
  for (std::size_t k = 0; k < settings.columns.size(); ++k) text += (k ? ", " : "") + json_string(settings.columns[k]);
  text += "],\n  \"objeval_rows\": ";
  text += settings.every_evaluation ? "\"every evaluation\"" : "\"improvements\"";
  text += ",\n  \"experiment_attributes\": [],\n  \"run_attributes\": [";
  for (std::size_t k = 0; k < run.attributes.size(); ++k) text += (k ? ", " : "") + json_string(run.attributes[k].first);
  text += "],\n  \"scenarios\": [\n    {\"dimension\": " + std::to_string(files.dimension) +
          ", \"path\": " + json_string(files.data_file(run.number)) + ", \"runs\": [{\"instance\": " +
          std::to_string(run.number) + ", \"evals\": " + std::to_string(run.evaluations) +
          ", \"best\": {\"evaluations\": " + std::to_string(run.best_at) + ", \"y\": " + json_number(run.best) +
          ", \"x\": [";
  for (std::size_t k = 0; k < run.best_point.size(); ++k) text += (k ? ", " : "") + json_number(run.best_point[k]);
  text += "]}";
  for (auto const& [attribute, value] : run.attributes) text += ", " + json_string(attribute) + ": " + json_string(value);
  text += "}]}\n  ]\n}\n";
  return text;
}

}  // namespace objeval::study
