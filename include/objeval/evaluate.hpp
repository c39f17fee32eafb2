// SPDX-License-Identifier: MIT
// Each problem's evaluation from C++, for its descriptor type (as
// objeval::doorcost::problem): the library defines them for every problem it
// holds. <objeval/doorcost.hpp> and <objeval/quadobj.hpp> name them for
// their problems; any problem of the table is reachable by name through
// <objeval/objeval.h>.
#pragma once

#include <cstddef>

namespace objeval {

// The value at one point of Problem::dimension floats.
template <class Problem>
float evaluate_point(float const* point) noexcept;

// values[p] = the value at points[p * dimension ..], bit for bit as
// evaluate_point gives it, on `threads` threads: 0 for one per CPU this
// process may use (its affinity mask and cgroup CPU quota), and a larger
// count is lowered to that number; the results do not depend on it.
template <class Problem>
void evaluate_batch(float const* points, std::size_t count, float* values, unsigned threads);

}  // namespace objeval
