// SPDX-License-Identifier: MIT
// The run frame both programs share, on the C library: read N numbers from
// "input.txt", evaluate them, write the value to "output.txt". No heap, no
// iostreams, no locale. It is the reference for the frame without the C
// library, and the frame wherever that one cannot be built.
#pragma once

#include "frame/exact_arithmetic.hpp"
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

namespace value_files {

// Attempts exactly N "%f" reads, whatever each one finds; a slot that no read
// fills keeps its value. Returns false if the stream reported a read error.
template <std::size_t N>
bool read_values(std::FILE* in, std::span<float, N> slots) noexcept {
  for (float& slot : slots) {
    [[maybe_unused]] int const converted = std::fscanf(in, "%f", &slot);
  }
  return std::ferror(in) == 0;
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
  bool const read_ok = read_values<N>(in, slots);
  std::fclose(in);
  if (!read_ok) return fail(input_failure);

  float const value = evaluate(std::span<float const, N>(slots));

  output_file out;
  if (out.get() == nullptr) return fail(output_failure);
  bool const written = write_value(out.get(), value);
  bool const finished = out.finish();
  if (!written || !finished) return fail(write_failure);
  return success_status;
}

}  // namespace value_files
