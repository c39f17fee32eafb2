// SPDX-License-Identifier: MIT
// The entry point of a program without the C library: set up the stack
// protector's canary, run main, exit with its status. Nothing else runs
// before main: no cpuid, no locale, no stdio buffers.
#include "frame/bare/system_calls.hpp"

#include <linux/auxvec.h>

#include <cstdint>
#include <cstring>

extern "C" int program_main() __asm__("main");

namespace {

// Code built with -fstack-protector keeps its canary at %fs:0x28, where the
// C library's thread control block would hold it.
struct thread_control_block {
  thread_control_block* self;
  std::uint64_t unused[4];
  std::uint64_t stack_guard;
};
static_assert(offsetof(thread_control_block, stack_guard) == 0x28);

thread_control_block tcb;

}  // namespace

// Runs before the canary exists, so it must not check one.
extern "C" [[noreturn]] __attribute__((no_stack_protector, used)) void bare_start(long* stack) {
  long const argc = stack[0];
  char** const environment = reinterpret_cast<char**>(stack + 1 + argc + 1);
  char** after = environment;
  while (*after != nullptr) ++after;
  for (auto* aux = reinterpret_cast<std::uint64_t*>(after + 1); aux[0] != AT_NULL; aux += 2) {
    if (aux[0] == AT_RANDOM) {
      // The kernel's 16 random bytes; the low byte zero stops string copies.
      std::memcpy(&tcb.stack_guard, reinterpret_cast<void const*>(aux[1]), sizeof tcb.stack_guard);
      tcb.stack_guard &= ~std::uint64_t{0xff};
    }
  }
  tcb.self = &tcb;
  if (objeval::bare::set_thread_pointer(&tcb) != 0) objeval::bare::exit_process(127);
  objeval::bare::exit_process(program_main());
}

__asm__(R"(
  .text
  .globl _start
  .type _start, @function
_start:
  xor %ebp, %ebp
  mov %rsp, %rdi
  and $-16, %rsp
  call bare_start
  hlt
  .size _start, . - _start
)");
