// SPDX-License-Identifier: MIT
// A study's files, in the format IOHanalyzer reads (IOHprofiler's, the
// JSON meta files of version 0.3.3 and later):
//
//   FOLDER/ALGORITHM/IOHprofiler_f<id>_<problem>.json      the meta file
//   FOLDER/ALGORITHM/IOHprofiler_f<id>_<problem>.runs      what it is made from
//   FOLDER/ALGORITHM/data_f<id>_<problem>/IOHprofiler_f<id>_DIM<d>_run<k>.dat
//
// ALGORITHM is the algorithm's name with every character but letters,
// digits, '.', '-' and '_' written as '_'. Each run writes a data file of its
// own, numbered k when it starts: a file made with O_EXCL, so that threads
// and processes writing one folder never share one. Its rows go to it as
// they are made, at each call's end. When the run ends, its line is added
// to the .runs file and the meta file is written anew from it, atomically,
// both under a lock on the .runs file: a run is in the study once it has
// ended, and a run a killed process left unfinished is in no meta file.
// In the meta file each run is a scenario of its own whose instance is its
// number k, so that IOHanalyzer, which drops a data set whose instances
// repeat another's, keeps every run.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace objeval::study {

// A failure with the words to say it in: which file, and why.
struct failure {
  int status;  // an objeval_status
  std::string message;
};

inline constexpr int cannot_write = 6;   // OBJEVAL_CANNOT_WRITE
inline constexpr int bad_argument = 7;   // OBJEVAL_BAD_ARGUMENT

[[noreturn]] inline void fail_writing(std::string const& what, std::string const& path, int error) {
  throw failure{cannot_write, "cannot " + what + " " + path + ": " + std::strerror(error)};
}

// A name as it may stand in a file name.
inline std::string file_name_of(std::string_view name) {
  std::string out;
  for (char const c : name)
    out += (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
                   c == '_'
               ? c
               : '_';
  if (out.empty() || out == "." || out == "..") out.insert(0, "_");
  return out;
}

inline void make_folder(std::string const& path) {
  if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) fail_writing("make the folder", path, errno);
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) fail_writing("use the folder", path, ENOTDIR);
}

// Writes all of `text`; false, with errno, where it could not.
inline bool write_all(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t const n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
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

// A JSON string of `text`.
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

// What a finished run leaves in the .runs file: a line of tab-separated
// fields, its attributes' values last.
struct finished_run {
  std::uint64_t number = 0;
  std::uint64_t evaluations = 0;
  std::uint64_t best_at = 0;  // the evaluation that found the best, 0 for none
  float best = __builtin_inff();
  std::vector<float> best_point;  // empty where none
  std::vector<std::pair<std::string, std::string>> attributes;

  std::string line() const {
    std::string out = std::to_string(number) + '\t' + std::to_string(evaluations) + '\t' + std::to_string(best_at) +
                      '\t' + study::number(best) + '\t';
    for (std::size_t k = 0; k < best_point.size(); ++k) out += (k ? "," : "") + study::number(best_point[k]);
    for (auto const& [name, value] : attributes) out += '\t' + name + '=' + value;
    return out + '\n';
  }
  static bool parse(std::string_view line, finished_run& run);
};

inline std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    std::size_t const end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

inline bool finished_run::parse(std::string_view line, finished_run& run) {
  std::vector<std::string_view> const fields = split(line, '\t');
  if (fields.size() < 5) return false;
  auto const whole = [](std::string_view text, std::uint64_t& out) {
    out = 0;
    if (text.empty()) return false;
    for (char const c : text) {
      if (c < '0' || c > '9') return false;
      out = out * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return true;
  };
  auto const real = [](std::string_view text) { return std::strtof(std::string(text).c_str(), nullptr); };
  if (!whole(fields[0], run.number) || !whole(fields[1], run.evaluations) || !whole(fields[2], run.best_at))
    return false;
  run.best = real(fields[3]);
  run.best_point.clear();
  if (!fields[4].empty())
    for (std::string_view const v : split(fields[4], ',')) run.best_point.push_back(real(v));
  run.attributes.clear();
  for (std::size_t k = 5; k < fields.size(); ++k) {
    std::size_t const equals = fields[k].find('=');
    if (equals == std::string_view::npos) return false;
    run.attributes.emplace_back(fields[k].substr(0, equals), fields[k].substr(equals + 1));
  }
  return true;
}

// One problem's files in one algorithm's folder.
struct problem_files {
  std::string folder;  // FOLDER/ALGORITHM
  std::size_t id;      // the table's index + 1
  std::string name;
  std::size_t dimension;

  std::string stem() const { return "IOHprofiler_f" + std::to_string(id) + "_" + name; }
  std::string data_folder() const { return "data_f" + std::to_string(id) + "_" + name; }
  std::string data_file(std::uint64_t run) const {
    return data_folder() + "/IOHprofiler_f" + std::to_string(id) + "_DIM" + std::to_string(dimension) + "_run" +
           std::to_string(run) + ".dat";
  }

  // A new run's data file, numbered past every run already there; the
  // search starts where this process's last one ended.
  int new_data_file(std::uint64_t& run) const {
    std::string const folder_of_data = folder + "/" + data_folder();
    make_folder(folder_of_data);
    static std::mutex numbers_lock;
    static std::map<std::string, std::uint64_t> last_numbers;
    std::lock_guard const lock(numbers_lock);
    std::uint64_t& last = last_numbers[folder_of_data];
    for (run = last + 1;; ++run) {
      std::string const path = folder + "/" + data_file(run);
      int const fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_APPEND, 0666);
      if (fd >= 0) {
        last = run;
        return fd;
      }
      if (errno != EEXIST) fail_writing("make the data file", path, errno);
    }
  }

  // Adds a finished run to the study: its line to the .runs file, then the
  // meta file anew, under a lock that every writer of the folder takes.
  void add_run(finished_run const& run, std::string const& algorithm, std::string const& info,
               std::vector<std::string> const& columns) const {
    std::string const runs_path = folder + "/" + stem() + ".runs";
    int const fd = ::open(runs_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_APPEND, 0666);
    if (fd < 0) fail_writing("open", runs_path, errno);
    struct closer {
      int fd;
      ~closer() { ::close(fd); }
    } const closing{fd};
    while (::flock(fd, LOCK_EX) != 0)
      if (errno != EINTR) fail_writing("lock", runs_path, errno);
    if (!write_all(fd, run.line())) fail_writing("write", runs_path, errno);
    std::string lines;
    char buffer[1 << 16];
    ::lseek(fd, 0, SEEK_SET);
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) fail_writing("read", runs_path, errno);
      lines.append(buffer, static_cast<std::size_t>(n));
    }
    std::vector<finished_run> all;
    for (std::string_view const line : split(lines, '\n')) {
      finished_run r;
      if (!line.empty() && finished_run::parse(line, r)) all.push_back(std::move(r));
    }
    write_meta(all, algorithm, info, columns);
  }

 private:
  void write_meta(std::vector<finished_run> const& runs, std::string const& algorithm, std::string const& info,
                  std::vector<std::string> const& columns) const {
    std::string names;
    for (finished_run const& r : runs)
      for (auto const& [name, value] : r.attributes)
        if (names.find(json_string(name)) == std::string::npos) names += (names.empty() ? "" : ", ") + json_string(name);
    std::string text = "{\n  \"version\": \"0.3.3\",\n  \"suite\": \"objeval\",\n  \"function_id\": " +
                       std::to_string(id) + ",\n  \"function_name\": " + json_string(name) +
                       ",\n  \"maximization\": false,\n  \"algorithm\": {\"name\": " + json_string(algorithm) +
                       ", \"info\": " + json_string(info) + "},\n  \"attributes\": [";
    for (std::size_t k = 0; k < columns.size(); ++k) text += (k ? ", " : "") + json_string(columns[k]);
    text += "],\n  \"experiment_attributes\": [],\n  \"run_attributes\": [" + names + "],\n  \"scenarios\": [";
    for (std::size_t n = 0; n < runs.size(); ++n) {
      finished_run const& r = runs[n];
      text += std::string(n ? ",\n" : "\n") + "    {\"dimension\": " + std::to_string(dimension) +
              ", \"path\": " + json_string(data_file(r.number)) + ", \"runs\": [{\"instance\": " +
              std::to_string(r.number) + ", \"evals\": " + std::to_string(r.evaluations) +
              ", \"best\": {\"evaluations\": " + std::to_string(r.best_at) + ", \"y\": " + json_number(r.best) +
              ", \"x\": [";
      for (std::size_t k = 0; k < r.best_point.size(); ++k) text += (k ? ", " : "") + json_number(r.best_point[k]);
      text += "]}";
      for (auto const& [attribute, value] : r.attributes) text += ", " + json_string(attribute) + ": " + json_string(value);
      text += "}]}";
    }
    text += "\n  ]\n}\n";
    std::string const path = folder + "/" + stem() + ".json", temporary = path + ".new";
    int const fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) fail_writing("write", temporary, errno);
    bool const written = write_all(fd, text);
    int const error = errno;
    if (::close(fd) != 0 || !written) {
      ::unlink(temporary.c_str());
      fail_writing("write", temporary, written ? errno : error);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) fail_writing("replace", path, errno);
  }
};

}  // namespace objeval::study
