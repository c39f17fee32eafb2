# SPDX-License-Identifier: MIT
# `run_examples` evaluates every shipped example point (examples/<problem>/)
# with the built programs.
set(example_commands "")
foreach(program IN LISTS OBJEVAL_PROBLEM_NAMES)
  list(APPEND example_commands
    COMMAND ${CMAKE_COMMAND}
      -DPROGRAM=$<TARGET_FILE:${program}>
      -DEXAMPLES_DIR=${PROJECT_SOURCE_DIR}/examples/${program}
      -DWORK_DIR=${PROJECT_BINARY_DIR}/example-runs/${program}
      -P ${PROJECT_SOURCE_DIR}/cmake/run_examples.cmake)
endforeach()
add_custom_target(run_examples ${example_commands} USES_TERMINAL VERBATIM)
add_dependencies(run_examples ${OBJEVAL_PROBLEM_NAMES})
