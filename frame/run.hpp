// SPDX-License-Identifier: MIT
// The run frame a program is built with: on its own system calls where the
// build asks for it (OBJEVAL_BARE), on the C library elsewhere.
#pragma once

#if defined(OBJEVAL_BARE)
#include "frame/bare/run.hpp"
#else
#include "frame/value_files.hpp"
#endif
