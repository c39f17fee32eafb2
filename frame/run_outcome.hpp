// SPDX-License-Identifier: MIT
// What a run of either frame reads, writes and reports.
#pragma once

namespace objeval::value_files {

inline constexpr char input_name[] = "input.txt";
inline constexpr char output_name[] = "output.txt";

inline constexpr char input_failure[] = "Can not open the input file!!!";
inline constexpr char output_failure[] = "Can not open the output file!!!";
inline constexpr char write_failure[] = "Can not write the output file!!!";

inline constexpr int success_status = 0;
inline constexpr int failure_status = 1;

}  // namespace objeval::value_files
