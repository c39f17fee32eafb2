// SPDX-License-Identifier: MIT
// The few Linux x86-64 system calls a run needs, made directly: a program
// built on them starts without the C library and its start-up work.
#pragma once

#include <asm/errno.h>
#include <asm/prctl.h>
#include <asm/stat.h>
#include <asm/unistd.h>
#include <linux/fcntl.h>


#include <cstddef>

namespace objeval::bare {

// st_mode's file type, which the kernel headers leave to the C library.
inline constexpr unsigned file_type_mask = 0170000, regular_file = 0100000;

inline long system_call(long number, long a = 0, long b = 0, long c = 0, long d = 0) noexcept {
  long result;
  register long r10 __asm__("r10") = d;
  __asm__ volatile("syscall"
                   : "=a"(result)
                   : "a"(number), "D"(a), "S"(b), "d"(c), "r"(r10)
                   : "rcx", "r11", "memory");
  return result;
}

inline long address(void const* p) noexcept { return reinterpret_cast<long>(p); }

// Each returns what the kernel returns: a result, or minus an error number.
inline int open_file(char const* name, int flags, int mode = 0) noexcept {
  return static_cast<int>(system_call(__NR_openat, AT_FDCWD, address(name), flags | O_CLOEXEC, mode));
}
inline long read_some(int fd, void* buffer, std::size_t size) noexcept {
  return system_call(__NR_read, fd, address(buffer), static_cast<long>(size));
}
inline long write_some(int fd, void const* data, std::size_t size) noexcept {
  return system_call(__NR_write, fd, address(data), static_cast<long>(size));
}
inline int close_file(int fd) noexcept { return static_cast<int>(system_call(__NR_close, fd)); }
inline int file_status(int fd, struct stat& status) noexcept {
  return static_cast<int>(system_call(__NR_fstat, fd, address(&status)));
}
inline int cut_file(int fd, std::size_t length) noexcept {
  return static_cast<int>(system_call(__NR_ftruncate, fd, static_cast<long>(length)));
}
inline int set_thread_pointer(void* tcb) noexcept {
  return static_cast<int>(system_call(__NR_arch_prctl, ARCH_SET_FS, address(tcb)));
}
[[noreturn]] inline void exit_process(int status) noexcept {
  for (;;) system_call(__NR_exit_group, status);
}

// Writes all of data, across short writes and interrupted calls.
inline bool write_all(int fd, char const* data, std::size_t size) noexcept {
  while (size > 0) {
    long const written = write_some(fd, data, size);
    if (written == -EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace objeval::bare
