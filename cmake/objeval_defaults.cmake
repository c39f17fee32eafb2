# SPDX-License-Identifier: MIT
# Flags every target of this project is built with. -ffp-contract=off is part
# of the results: the compiler must not fuse a product into a sum on its own.
# The hardening costs nothing measurable: the evaluators hold no arrays on
# the stack, and the file work goes through the C library either way.
# NO_C_LIBRARY: the target links no C library, so no checked C functions.
function(objeval_defaults target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "NO_C_LIBRARY" "" "")
  target_compile_options(${target} PRIVATE
    -ffp-contract=off
    -Wall -Wextra -Wpedantic -Wconversion
    $<$<BOOL:${OBJEVAL_WERROR}>:-Werror>
    $<$<BOOL:${OBJEVAL_HARDEN}>:-fstack-protector-strong>)
  if(arg_NO_C_LIBRARY)
    target_compile_options(${target} PRIVATE -U_FORTIFY_SOURCE)  # whatever the flags say: no C library to check with
  elseif(OBJEVAL_HARDEN)
    target_compile_options(${target} PRIVATE -fstack-clash-protection)
  endif()
  # glibc's checked functions need the optimiser; a -O0 build goes without.
  # Flags (a distribution's) or a compiler that define _FORTIFY_SOURCE already
  # have their own level.
  if(OBJEVAL_HARDEN AND NOT arg_NO_C_LIBRARY AND NOT CMAKE_CXX_FLAGS MATCHES "-O0"
     AND NOT OBJEVAL_FORTIFY_PRESET)
    target_compile_definitions(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
  endif()
endfunction()

if(OBJEVAL_HARDEN)
  include(CheckCXXSourceCompiles)
  string(TOUPPER "${CMAKE_BUILD_TYPE}" build_type)
  set(CMAKE_REQUIRED_FLAGS "${CMAKE_CXX_FLAGS_${build_type}}")
  check_cxx_source_compiles("#ifndef _FORTIFY_SOURCE\n#error not set\n#endif\nint main() { return 0; }"
    OBJEVAL_FORTIFY_PRESET)
  unset(CMAKE_REQUIRED_FLAGS)
endif()
