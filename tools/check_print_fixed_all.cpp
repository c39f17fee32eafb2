// SPDX-License-Identifier: MIT
// Prints every one of the 2^32 float bit patterns with the frame's writer
// and with snprintf("%f"), and reports the first difference in hexfloat.
// Takes minutes; not part of the test suite.
//
//   check_print_fixed_all [THREADS]
#include "frame/print_fixed.hpp"

#include <atomic>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
  unsigned const threads = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : std::thread::hardware_concurrency();
  constexpr std::uint64_t total = std::uint64_t{1} << 32;
  std::atomic<std::uint64_t> differences{0};
  std::atomic<std::uint64_t> first_difference{total};
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t)
    workers.emplace_back([&, t] {
      char expected[64], text[objeval::value_files::fixed_text_capacity + 1];
      for (std::uint64_t bits = t; bits < total; bits += threads) {
        float const value = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
        int const length = std::snprintf(expected, sizeof expected, "%f", static_cast<double>(value));
        std::size_t const written = objeval::value_files::print_fixed(value, text);
        if (written != static_cast<std::size_t>(length) || std::memcmp(text, expected, written) != 0) {
          ++differences;
          std::uint64_t seen = first_difference.load();
          while (bits < seen && !first_difference.compare_exchange_weak(seen, bits)) {
          }
        }
      }
    });
  for (auto& w : workers) w.join();
  if (differences != 0) {
    auto const bits = static_cast<std::uint32_t>(first_difference.load());
    std::printf("%llu of 2^32 patterns differ; the first: %a (bits %08x)\n",
                static_cast<unsigned long long>(differences.load()),
                static_cast<double>(std::bit_cast<float>(bits)), bits);
    return 1;
  }
  std::printf("all 2^32 float bit patterns print as snprintf(\"%%f\") prints them\n");
  return 0;
}
