// SPDX-License-Identifier: MIT
#include "frame/run.hpp"

#include <objeval/quadobj.hpp>

int main() { return value_files::run<objeval::quadobj::dimension>(objeval::quadobj::objective); }
