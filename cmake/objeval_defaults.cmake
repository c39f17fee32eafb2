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
  # glibc's checked functions need the optimiser; a -O0 build goes without.
  if(OBJEVAL_HARDEN AND NOT arg_NO_C_LIBRARY AND NOT CMAKE_CXX_FLAGS MATCHES "-O0")
    target_compile_definitions(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
  endif()
endfunction()
