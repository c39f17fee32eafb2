# SPDX-License-Identifier: MIT
# Runs PROGRAM once per example in EXAMPLES_DIR, the way a caller would:
# input.txt in, output.txt out, inside WORK_DIR.
file(GLOB examples "${EXAMPLES_DIR}/*.txt")
list(SORT examples)
get_filename_component(program_name "${PROGRAM}" NAME)
file(MAKE_DIRECTORY "${WORK_DIR}")
foreach(example IN LISTS examples)
  get_filename_component(example_name "${example}" NAME)
  file(REMOVE "${WORK_DIR}/output.txt")
  file(COPY_FILE "${example}" "${WORK_DIR}/input.txt")
  execute_process(COMMAND "${PROGRAM}"
    WORKING_DIRECTORY "${WORK_DIR}"
    RESULT_VARIABLE status
    OUTPUT_VARIABLE stdout)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${program_name} ${example_name}: exit status ${status}: ${stdout}")
  endif()
  file(READ "${WORK_DIR}/output.txt" value)
  message(STATUS "${program_name} ${example_name}: ${value}")
endforeach()
