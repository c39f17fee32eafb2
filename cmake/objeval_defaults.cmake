# Flags every target of this project is built with. -ffp-contract=off is part
# of the results: the compiler must not fuse a product into a sum on its own.
function(objeval_defaults target)
  target_compile_options(${target} PRIVATE
    -ffp-contract=off
    -Wall -Wextra -Wpedantic -Wconversion
    $<$<BOOL:${OBJEVAL_WERROR}>:-Werror>)
endfunction()
