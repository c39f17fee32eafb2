// SPDX-License-Identifier: MIT
// Memory a thread keeps between batch calls: each buffer allocated once and
// kept, for a call that allocates afresh may fault it in again each time
// (objeval-eval took 1.75 times as long so). A thread's buffers go at its
// end, or when it calls release_kept_buffers(): a host's own threads keep
// theirs (up to about 1.1 MB a thread) until then.
#pragma once

#include <cstddef>
#include <new>

namespace objeval {

class kept_buffers {
 public:
  kept_buffers() = default;
  kept_buffers(kept_buffers const&) = delete;
  kept_buffers& operator=(kept_buffers const&) = delete;
  ~kept_buffers() { release(); }

  static kept_buffers& of_this_thread() noexcept {
    thread_local kept_buffers kept;
    return kept;
  }

  // The thread's buffer for T, made at its first use (not zeroed); null
  // where there is no memory for it.
  template <class T>
  T* get() noexcept {
    thread_local T* kept = nullptr;
    thread_local std::size_t made_in = 0;
    if (kept != nullptr && made_in == generation_) return kept;
    kept = nullptr;
    if (count_ == most) return nullptr;
    kept = new (std::nothrow) T;
    if (kept == nullptr) return nullptr;
    buffers_[count_++] = {kept, [](void* p) { delete static_cast<T*>(p); }};
    made_in = generation_;
    return kept;
  }

  // An array of at least `size` T, kept as get's buffers are.
  template <class T>
  T* array(std::size_t size) noexcept {
    thread_local T* kept = nullptr;
    thread_local std::size_t kept_size = 0, made_in = 0;
    if (kept != nullptr && made_in == generation_ && kept_size >= size) return kept;
    if (kept != nullptr && made_in == generation_) forget(kept);
    kept = nullptr;
    if (count_ == most) return nullptr;
    kept = new (std::nothrow) T[size];
    if (kept == nullptr) return nullptr;
    buffers_[count_++] = {kept, [](void* p) { delete[] static_cast<T*>(p); }};
    kept_size = size;
    made_in = generation_;
    return kept;
  }

  // Frees every buffer the thread keeps; the next call makes them again.
  void release() noexcept {
    for (std::size_t k = 0; k < count_; ++k) buffers_[k].free(buffers_[k].memory);
    count_ = 0;
    ++generation_;
  }

 private:
  struct buffer {
    void* memory;
    void (*free)(void*);
  };
  void forget(void* memory) noexcept {
    for (std::size_t k = 0; k < count_; ++k)
      if (buffers_[k].memory == memory) {
        buffers_[k].free(memory);
        buffers_[k] = buffers_[--count_];
        return;
      }
  }

  static constexpr std::size_t most = 32;  // a buffer type each: problems and their lane types
  buffer buffers_[most] = {};
  std::size_t count_ = 0;
  std::size_t generation_ = 1;
};

}  // namespace objeval
