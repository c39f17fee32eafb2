// The input in chunks of whole lines. A chunk is read into a buffer of its
// own while the chunk before it is still being evaluated from another, so a
// chunk starts with the partial line that ended the one before.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace points_cli {

struct free_memory {
  void operator()(char* p) const noexcept { std::free(p); }
};

struct input_chunk {
  std::unique_ptr<char[], free_memory> buffer;
  std::size_t capacity = 0;
  std::size_t size = 0;      // bytes held
  std::size_t complete = 0;  // bytes of whole lines: those evaluated
  bool last = false;         // the input ended here
  bool failed = false;       // reading failed

  std::string_view lines() const noexcept { return {buffer.get(), complete}; }
  std::string_view rest() const noexcept { return {buffer.get() + complete, size - complete}; }

  // Room for `bytes`, what is held kept; a little more, for a line carried
  // over from the chunk before. In pages of 2 MiB where the system has them:
  // every page touched first costs a fault, microseconds on a virtual machine.
  void reserve(std::size_t bytes) {
    if (bytes <= capacity) return;
    constexpr std::size_t huge_page = std::size_t{1} << 21;
    std::size_t const larger = (bytes + (std::size_t{1} << 16) + huge_page - 1) / huge_page * huge_page;
    std::unique_ptr<char[], free_memory> replacement(static_cast<char*>(std::aligned_alloc(huge_page, larger)));
    if (!replacement) throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
    madvise(replacement.get(), larger, MADV_HUGEPAGE);
#endif
    if (size != 0) std::memcpy(replacement.get(), buffer.get(), size);
    buffer = std::move(replacement);
    capacity = larger;
  }
};

// Reads about `bytes` more of `in` into `into`, after the partial line that
// `before` ended with: on until a line ends, or the input does, however long
// the line. A UTF-8 byte-order mark at the start of the input (`first`) is
// skipped, as spreadsheets write one.
inline void read_chunk(std::FILE* in, std::string_view carried, std::size_t bytes, bool first, input_chunk& into) {
  into.size = 0;
  std::size_t limit = carried.size() + bytes;
  into.reserve(limit);
  if (!carried.empty()) std::memcpy(into.buffer.get(), carried.data(), carried.size());
  into.size = carried.size();
  into.last = into.failed = false;
  for (;;) {
    std::size_t const got = std::fread(into.buffer.get() + into.size, 1, limit - into.size, in);
    into.size += got;
    bool const short_read = into.size < limit;
    if (first) {
      first = false;
      if (into.size >= 3 && std::memcmp(into.buffer.get(), "\xef\xbb\xbf", 3) == 0) {
        std::memmove(into.buffer.get(), into.buffer.get() + 3, into.size - 3);
        into.size -= 3;
      }
    }
    if (short_read) {  // at the end, or failed
      into.failed = std::ferror(in) != 0;
      into.last = true;
      into.complete = into.size;
      return;
    }
    // What was carried holds no line end: any is new.
    std::size_t const line_end = std::string_view(into.buffer.get(), into.size).rfind('\n');
    if (line_end != std::string_view::npos) {
      into.complete = line_end + 1;
      return;
    }
    limit *= 2;  // a line longer than the chunk
    into.reserve(limit);
  }
}

}  // namespace points_cli
