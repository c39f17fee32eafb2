# SPDX-License-Identifier: MIT
# The programs' run frame without the C library: raw system calls, its own
# entry point, number reading through fast_float. Linux x86-64 with GCC or
# Clang only; elsewhere, under sanitizers and without fast_float, the
# programs use the C library.
set(objeval_bare_possible OFF)
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64)$"
   AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  set(objeval_bare_possible ON)
endif()
option(OBJEVAL_BARE "Build the programs without the C library (Linux x86-64)" ${objeval_bare_possible})
if(OBJEVAL_SANITIZE OR OBJEVAL_FUZZ)
  set(OBJEVAL_BARE OFF)
endif()
if(OBJEVAL_BARE AND NOT objeval_bare_possible)
  message(FATAL_ERROR "OBJEVAL_BARE needs Linux on x86-64 and GCC or Clang")
endif()

include(cmake/fast_float.cmake)
if(OBJEVAL_BARE AND NOT OBJEVAL_FAST_FLOAT_INCLUDE_DIR)
  message(NOTICE "objeval: fast_float not found, so doorcost and quadobj use the C library: a run costs about "
    "twice as much (same values). To get the lean programs back: install libfast-float-dev, then configure again.")
  set(OBJEVAL_BARE OFF)
endif()

if(OBJEVAL_BARE)
  add_library(objeval_bare_runtime OBJECT
    ${PROJECT_SOURCE_DIR}/frame/bare/start.cpp ${PROJECT_SOURCE_DIR}/frame/bare/runtime.cpp)
  target_link_libraries(objeval_bare_runtime PRIVATE objeval_text)
  objeval_defaults(objeval_bare_runtime NO_C_LIBRARY)
  target_compile_options(objeval_bare_runtime PRIVATE -fno-exceptions -fno-builtin
    $<$<CXX_COMPILER_ID:GNU>:-fno-tree-loop-distribute-patterns>)
  # The canary is set up here, so nothing here may check it.
  set_source_files_properties(${PROJECT_SOURCE_DIR}/frame/bare/start.cpp
    PROPERTIES COMPILE_OPTIONS -fno-stack-protector)
endif()

# A program of one source, its main, on the frame the build chose: without
# exception support, it carries none of the C++ runtime.
function(objeval_program name source)
  add_executable(${name} ${source})
  if(OBJEVAL_BARE)
    target_link_libraries(${name} PRIVATE objeval_text objeval_bare_runtime)
    target_compile_definitions(${name} PRIVATE OBJEVAL_BARE)
    # One segment for the code and the constants: exec maps one region, and
    # one page fault maps both (separate, each costs a fault: about 5% of a
    # run, measured one run at a time on Zen 5). The constants are then
    # executable; the stack stays not.
    target_link_options(${name} PRIVATE -nostdlib -static -Wl,-z,noexecstack -Wl,-z,noseparate-code
      -Wl,--gc-sections)
    target_compile_options(${name} PRIVATE -ffunction-sections -fdata-sections)
    objeval_defaults(${name} NO_C_LIBRARY)
  else()
    target_link_libraries(${name} PRIVATE objeval_frame Threads::Threads)
    objeval_static_program(${name})
    objeval_defaults(${name})
  endif()
  target_compile_options(${name} PRIVATE -fno-exceptions)
endfunction()
