// SPDX-License-Identifier: MIT
// Nothing thrown inside the library may cross into a C caller, where it
// would end the host: each exported call that can throw runs through here.
#pragma once

#include <objeval/objeval.h>

namespace objeval {

template <class Call>
objeval_status firewall(Call const& call) noexcept {
  try {
    return call();
  } catch (...) {
    return OBJEVAL_INTERNAL_ERROR;
  }
}

}  // namespace objeval
