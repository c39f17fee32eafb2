# A run costs little more than the process start when there is no dynamic
# loader to run: programs link statically where the toolchain can.
if(OBJEVAL_STATIC)
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_LINK_OPTIONS -static)
  check_cxx_source_compiles("#include <cstdio>\nint main() { return std::puts(\"\"); }" OBJEVAL_CAN_LINK_STATIC)
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
  if(NOT OBJEVAL_CAN_LINK_STATIC)
    message(STATUS "objeval: the toolchain cannot link statically; the programs link dynamically")
  endif()
endif()

function(objeval_static_program target)
  if(OBJEVAL_STATIC AND OBJEVAL_CAN_LINK_STATIC)
    target_link_options(${target} PRIVATE -static)
  endif()
endfunction()
