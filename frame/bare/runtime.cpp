// SPDX-License-Identifier: MIT
// What compiled C++ expects of the C library, for a program without one: the
// memory functions the compiler calls on its own, fma for CPUs without the
// instruction, and the failure paths of the stack protector and assert.
#include "frame/bare/system_calls.hpp"
#include "frame/exact_fma.hpp"

#include <cstddef>

extern "C" {

// The compiler may turn a plain loop into a call to these very functions,
// so they are written in the string instructions.
void* memcpy(void* destination, void const* source, std::size_t size) {
  void* d = destination;
  __asm__ volatile("rep movsb" : "+D"(d), "+S"(source), "+c"(size) : : "memory");
  return destination;
}

void* memmove(void* destination, void const* source, std::size_t size) {
  auto* d = static_cast<unsigned char*>(destination);
  auto const* s = static_cast<unsigned char const*>(source);
  if (d <= s || d >= s + size) return memcpy(destination, source, size);
  d += size - 1;
  s += size - 1;
  __asm__ volatile("std\n\trep movsb\n\tcld" : "+D"(d), "+S"(s), "+c"(size) : : "memory");
  return destination;
}

void* memset(void* destination, int value, std::size_t size) {
  void* d = destination;
  __asm__ volatile("rep stosb" : "+D"(d), "+c"(size) : "a"(value) : "memory");
  return destination;
}

int memcmp(void const* a, void const* b, std::size_t size) {
  auto const* x = static_cast<unsigned char const*>(a);
  auto const* y = static_cast<unsigned char const*>(b);
  for (std::size_t n = 0; n < size; ++n)
    if (x[n] != y[n]) return x[n] < y[n] ? -1 : 1;
  return 0;
}

float fmaf(float a, float b, float c) { return objeval::exact_fma(a, b, c); }
double fma(double a, double b, double c) { return objeval::exact_fma(a, b, c); }

[[noreturn]] void __stack_chk_fail() { __builtin_trap(); }

// Builds without NDEBUG keep the header libraries' assertions.
[[noreturn]] void __assert_fail(char const* assertion, char const*, unsigned, char const*) {
  std::size_t length = 0;
  while (assertion[length] != '\0') ++length;
  objeval::bare::write_all(2, "assertion failed: ", 18);
  objeval::bare::write_all(2, assertion, length);
  __builtin_trap();
}
}
