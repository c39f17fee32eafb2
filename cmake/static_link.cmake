# SPDX-License-Identifier: MIT
# A run costs little more than the process start when there is no dynamic
# loader to run: programs link statically where the toolchain can.
# OBJEVAL_STATIC_PIE makes them position-independent as well, so that their
# addresses are randomised; relocating itself at start-up costs such a
# program about 4% more instructions per run, so it is off by default.
if(OBJEVAL_STATIC)
  include(CheckCXXSourceCompiles)
  set(probe "#include <cstdio>\nint main() { return std::puts(\"\"); }")
  set(CMAKE_REQUIRED_FLAGS -fPIE)
  set(CMAKE_REQUIRED_LINK_OPTIONS -static-pie)
  check_cxx_source_compiles("${probe}" OBJEVAL_CAN_LINK_STATIC_PIE)
  unset(CMAKE_REQUIRED_FLAGS)
  set(CMAKE_REQUIRED_LINK_OPTIONS -static)
  check_cxx_source_compiles("${probe}" OBJEVAL_CAN_LINK_STATIC)
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
  if(NOT OBJEVAL_CAN_LINK_STATIC)
    message(STATUS "objeval: the toolchain cannot link statically; the programs link dynamically")
  endif()
endif()

# PIE: position-independent whatever OBJEVAL_STATIC_PIE says, for a program
# that runs long and reads untrusted input (objeval-eval).
function(objeval_static_program target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "PIE" "" "")
  if(arg_PIE OR OBJEVAL_STATIC_PIE)
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    target_link_options(${target} PRIVATE -pie)
    if(OBJEVAL_STATIC AND OBJEVAL_CAN_LINK_STATIC_PIE)
      target_link_options(${target} PRIVATE -static-pie)
    endif()
  elseif(OBJEVAL_STATIC AND OBJEVAL_CAN_LINK_STATIC)
    target_link_options(${target} PRIVATE -static)
  endif()
endfunction()
