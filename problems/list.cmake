# SPDX-License-Identifier: MIT
# The problems, in the order of the library's table: a folder each, whose
# problem.hpp defines the descriptor objeval::<folder's name>::problem. The
# build makes everything else of a problem from this list: its batch
# readers, its program, its place in the table, its install and examples.
set(OBJEVAL_PROBLEMS doorcost quadobj)
# A small problem for the tests alone (tests/problems/ring): it goes through
# every table-driven test and binding, so that a problem is shown to be one
# folder and one entry here.
if(OBJEVAL_TEST_PROBLEM)
  list(APPEND OBJEVAL_PROBLEMS tests/problems/ring)
endif()
