// SPDX-License-Identifier: MIT
// How a batch goes in blocks. A block of R registers of lanes runs R
// chains of the sum side by side: up to four of them fill the FMA units
// between each other's results, so a block of two or four registers costs
// about one chain's latency, one point's time; past four, a block is bound
// by the units' throughput and costs in proportion to its registers. A few
// points therefore go in one block of the fewest registers that hold them,
// and any count in the blocks that cost least by that measure: 49 points
// of quadobj (8 a register with AVX-512, 6 registers a whole block) in two
// blocks of four registers, not a whole block and one of a single point.
// A count of whole blocks, as a thread's share is, goes in whole blocks, in
// one run whose next block is filled while the one before is summed; counts
// past four whole blocks go in whole blocks first. The baseline
// version, whose fused multiply-adds are done in software, takes whole
// blocks alone: its speed is not what a caller of few points waits on.
//
// The measure is the same on every CPU: a guess where the FMA units' width
// or latency differ (AVX-512 on two 256-bit halves). Every lane computes
// its point's own sum, so the plan never changes a value.
#pragma once

#include "simd/multiversion.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace objeval {

// The sizes of block a version takes: the problem's whole blocks of `Most`
// registers, blocks of 2 and 4 registers (none past `Most`), and with
// AVX-512's 32 registers one more between or past them: 6 where the whole
// block is 4 (doorcost's 96 points cost 1.33 times its 64), 5 where it is 6
// (quadobj's 33 to 40 points cost a whole block's 48 else). The baseline
// version takes whole blocks alone, and so do instrumented builds: the
// sanitizers make each size's sum anew, minutes of compiling each, and the
// part-filled blocks they are to check are the same code at every size.
#if defined(OBJEVAL_INLINE_FREELY)
template <std::size_t Most, std::size_t Bytes>
inline constexpr std::array<std::size_t, 4> block_sizes = {Most, Most, Most, Most};
#else
template <std::size_t Most, std::size_t Bytes>
inline constexpr std::array<std::size_t, 4> block_sizes = {
    Most, Bytes < 32 || Most < 4 ? Most : 4, Bytes < 32 || Most < 2 ? Most : 2,
    Bytes < 64 || Most < 4 ? Most : Most == 6 ? 5 : 6};
#endif

// The plan for blocks of those sizes, `P` lanes a register: first[b], the
// registers of the first block for a count of b points left.
template <std::size_t Most, std::size_t P, std::size_t Bytes>
struct block_plan {
  static constexpr std::size_t whole = Most * P;  // points in a whole block
  static constexpr std::size_t limit = 4 * whole;  // the counts the table covers
  static constexpr auto sizes = block_sizes<Most, Bytes>;

  static constexpr auto first = [] {
    std::array<std::uint8_t, limit + 1> choice{};
    // For each count: the cost (in quarters of a chain's latency), then
    // fewer blocks, then fewer lanes computed.
    std::array<std::size_t, limit + 1> cost{}, blocks{}, lanes{};
    for (std::size_t b = 1; b <= limit; ++b)
      for (std::size_t const r : sizes) {
        std::size_t const rest = b > r * P ? b - r * P : 0;
        std::size_t const c = (r > 4 ? r : 4) + cost[rest], k = 1 + blocks[rest], l = r * P + lanes[rest];
        if (choice[b] == 0 || c < cost[b] || (c == cost[b] && (k < blocks[b] || (k == blocks[b] && l < lanes[b]))))
          choice[b] = static_cast<std::uint8_t>(r), cost[b] = c, blocks[b] = k, lanes[b] = l;
      }
    return choice;
  }();
};

// Calls blocks(std::integral_constant<std::size_t, R>, first, n) for each
// run of blocks of R registers the plan gives `count` points, in order.
template <std::size_t Most, std::size_t P, std::size_t Bytes, class Blocks>
OBJEVAL_INLINE void run_plan(std::size_t count, Blocks const& blocks) {
  using plan = block_plan<Most, P, Bytes>;
  if (count % plan::whole == 0) {  // whole blocks in one run, each filled while the one before is summed
    blocks(std::integral_constant<std::size_t, Most>{}, 0, count);
    return;
  }
  std::size_t first = 0;
  if (count > plan::limit) {
    first = (count - plan::limit + plan::whole - 1) / plan::whole * plan::whole;
    blocks(std::integral_constant<std::size_t, Most>{}, 0, first);
  }
  while (first < count) {
    std::size_t const r = plan::first[count - first];
    std::size_t left = count - first, n = 0;
    for (; left != 0 && plan::first[left] == r; left -= left < r * P ? left : r * P) n += left < r * P ? left : r * P;
    if (r == plan::sizes[0]) blocks(std::integral_constant<std::size_t, plan::sizes[0]>{}, first, n);
    else if (r == plan::sizes[1]) blocks(std::integral_constant<std::size_t, plan::sizes[1]>{}, first, n);
    else if (r == plan::sizes[2]) blocks(std::integral_constant<std::size_t, plan::sizes[2]>{}, first, n);
    else blocks(std::integral_constant<std::size_t, plan::sizes[3]>{}, first, n);
    first += n;
  }
}

}  // namespace objeval
