// SPDX-License-Identifier: MIT
#include "frame/run.hpp"

#include <objeval/doorcost.hpp>

int main() { return value_files::run<objeval::doorcost::value_count>(objeval::doorcost::cost); }
