// SPDX-License-Identifier: MIT
#include "frame/run.hpp"

#include <objeval/doorcost.hpp>

int main() { return value_files::run<objeval::doorcost::dimension>(objeval::doorcost::cost); }
