// SPDX-License-Identifier: MIT
// The terminal's instance: freight flow from each inbound truck (row) to each
// outbound truck (column), and the distance rule between doors.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace objeval::doorcost {

inline constexpr std::size_t trucks = 15;
inline constexpr std::size_t doors = 8;

// clang-format off
inline constexpr std::array<std::array<std::uint8_t, trucks>, trucks> flow_table{{
    { 0,  0,  0, 46,  0,  0,  0,  0,  0,  0,  0, 35,  0,  0,  0},
    { 0,  0,  0,  0,  0, 34,  0, 20, 16, 19,  0,  0,  0,  0, 25},
    { 0,  0,  0,  0,  0,  0, 30,  0,  0, 28, 25, 17,  0,  0,  0},
    { 0,  0,  0, 20,  0, 30,  0,  0,  0,  0,  0,  0,  0,  0,  0},
    {13,  0,  0, 38,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0},
    { 0,  0, 49, 38,  0, 33,  0,  0,  0,  0, 20,  0, 22,  0, 34},
    { 0,  0,  0,  0,  0,  0,  0,  0,  0,  0, 17,  0, 12, 47, 20},
    { 0,  0,  0,  0,  0,  0, 40,  0,  0,  0, 46,  0, 42,  0,  0},
    { 0,  0,  0,  0,  0,  0,  0, 48, 11,  0,  0,  0,  0, 24,  0},
    {15, 31,  0, 39, 16,  0,  0,  0, 46,  0,  0,  0,  0,  0, 42},
    { 0, 46,  0,  0, 28,  0,  0,  0, 11, 28,  0,  0,  0,  0,  0},
    { 0, 40,  0,  0, 16,  0,  0, 11,  0, 25,  0,  0,  0,  0,  0},
    {40, 43,  0,  0,  0,  0, 35,  0,  0, 17,  0, 42, 32,  0,  0},
    { 0, 40,  0,  0,  0, 48,  0,  0,  0,  0, 23,  0, 29,  0,  0},
    { 0,  0,  0,  0,  0,  0,  0,  0, 23,  0,  0, 23,  0,  0,  0},
}};
// clang-format on

// Doors with the same number are 8 apart; each step of difference adds one.
constexpr unsigned door_distance(std::size_t inbound_door, std::size_t outbound_door) noexcept {
  return 8U + static_cast<unsigned>(inbound_door > outbound_door ? inbound_door - outbound_door
                                                                  : outbound_door - inbound_door);
}

}  // namespace objeval::doorcost
