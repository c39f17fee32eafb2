// SPDX-License-Identifier: MIT
// The run frame both programs share, on the C library: read N numbers from
// "input.txt", evaluate them, write the value to "output.txt". No heap, no
// iostreams, no locale. It is the reference for the frame without the C
// library, and the frame wherever that one cannot be built.
#pragma once

#include "frame/exact_arithmetic.hpp"
#include "frame/input_notice.hpp"
#include "frame/run_outcome.hpp"

#include <array>
#include <cstddef>
#include <cstdio>
#include <span>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#define OBJEVAL_WRITE_IN_PLACE 1
#endif

namespace objeval::value_files {

// What stands at the stream's place, for a notice, without taking it: where
// the stream cannot seek back (a pipe), nothing is shown.
inline void note_failure(std::FILE* in, std::size_t n, input_notice& notice) noexcept {
  char text[input_notice::shown_bytes];
  std::size_t size = 0;
  long const at = std::ftell(in);
  if (at >= 0) {
    for (int c; size < sizeof text && (c = std::fgetc(in)) != EOF;) text[size++] = static_cast<char>(c);
    std::clearerr(in);
    if (std::fseek(in, at, SEEK_SET) != 0) size = 0;
  }
  notice.failed(n, text, size);
}

// Attempts exactly N "%f" reads, whatever each one finds; a slot that no read
// fills keeps its value, and the notice says so. Returns false if the stream
// reported a read error.
template <std::size_t N>
bool read_values(std::FILE* in, std::span<float, N> slots, input_notice& notice) noexcept {
  for (std::size_t n = 0; n < N; ++n) {
    if (std::fscanf(in, "%f", &slots[n]) == 1)
      notice.filled();
    else if (!notice.any())
      note_failure(in, n, notice);
  }
  return std::ferror(in) == 0;
}

template <std::size_t N>
bool read_values(std::FILE* in, std::span<float, N> slots) noexcept {
  input_notice notice(N);
  return read_values<N>(in, slots, notice);
}

// Writes the value as "%f" of its double widening, with no line end.
inline bool write_value(std::FILE* out, float value) noexcept {
  return std::fprintf(out, "%f", static_cast<double>(value)) >= 0;
}

// Opens "output.txt" for writing without truncating it: truncating a file
// makes the file system flush its new data to disk at close. `finish` then
// cuts a longer regular file to what was written, which leaves the file
// that "wt" would have left.
class output_file {
 public:
#if OBJEVAL_WRITE_IN_PLACE
  output_file() noexcept {
    int const fd = ::open(output_name, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd >= 0 && (file_ = ::fdopen(fd, "w")) == nullptr) ::close(fd);
  }
#else
  output_file() noexcept : file_(std::fopen(output_name, "wt")) {}
#endif
  output_file(output_file const&) = delete;
  output_file& operator=(output_file const&) = delete;
  ~output_file() {
    if (file_ != nullptr) std::fclose(file_);
  }

  std::FILE* get() const noexcept { return file_; }

  // Flushes, cuts and closes; false if any of it failed.
  bool finish() noexcept {
    bool ok = std::fflush(file_) == 0;
#if OBJEVAL_WRITE_IN_PLACE
    struct stat status {};
    int const fd = ::fileno(file_);
    ok = ok && ::fstat(fd, &status) == 0;
    if (ok && S_ISREG(status.st_mode)) {
      long const written = std::ftell(file_);
      ok = written >= 0 && (status.st_size <= written || ::ftruncate(fd, written) == 0);
    }
#endif
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    return ok;
  }

 private:
  std::FILE* file_ = nullptr;
};

inline int fail(char const* message) noexcept {
  std::fputs(message, stdout);
  return failure_status;
}

// One whole run; the return value is the process exit status.
template <std::size_t N, class Evaluator>
int run(Evaluator evaluate) noexcept {
  std::array<float, N> slots{};

  std::FILE* in = std::fopen(input_name, "rt");
  if (in == nullptr) return fail(input_failure);
  input_notice notice(N);
  bool const read_ok = read_values<N>(in, slots, notice);
  std::fclose(in);
  if (!read_ok) return fail(input_failure);
  if (notice.any()) {
    char line[input_notice::capacity];
    std::fwrite(line, 1, notice.describe(line), stderr);
  }

  float const value = evaluate(std::span<float const, N>(slots));

  output_file out;
  if (out.get() == nullptr) return fail(output_failure);
  bool const written = write_value(out.get(), value);
  bool const finished = out.finish();
  if (!written || !finished) return fail(write_failure);
  return success_status;
}

}  // namespace objeval::value_files
