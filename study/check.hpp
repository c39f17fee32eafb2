// SPDX-License-Identifier: MIT
// A study checks itself: every meta and data file under a folder read as
// IOHanalyzer reads them, every logged point evaluated again and its value
// compared bit for bit, and what is wrong said file by file.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace objeval::study {

struct check_summary {
  std::size_t runs = 0;       // ended runs found
  std::size_t faults = 0;     // things found wrong
  std::size_t evaluated = 0;  // logged values evaluated again
};

// Checks the study in `folder`: `say` gets a line for each fault, "FILE:
// what is wrong", then one line of summary. Throws failure where the folder
// cannot be read.
check_summary check_study(std::string const& folder, std::function<void(std::string const&)> const& say);

}  // namespace objeval::study
