// SPDX-License-Identifier: MIT
#include "frame/run.hpp"

#include <objeval/quadobj.hpp>

int main() { return value_files::run<objeval::quadobj::value_count>(objeval::quadobj::objective); }
