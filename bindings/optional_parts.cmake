# SPDX-License-Identifier: MIT
# Each optional part of the build, a language's binding, has one option,
# OBJEVAL_<PART>, that is AUTO, ON or OFF:
#   AUTO (the default) builds it where its tools are complete, and otherwise
#        says in one line what is missing and which Debian package brings it;
#   ON   fails at configure where it cannot be built;
#   OFF  skips it, saying nothing.
# The parts built are listed in the global property OBJEVAL_PARTS_BUILT:
# only their tests are registered.

# objeval_part(PART "what it is"): declares OBJEVAL_<PART>.
function(objeval_part part description)
  get_property(type CACHE OBJEVAL_${part} PROPERTY TYPE)
  if(type STREQUAL "FILEPATH")  # a build tree of an older version, where OBJEVAL_R named R's command
    unset(OBJEVAL_${part} CACHE)
  endif()
  if(DEFINED OBJEVAL_${part} AND OBJEVAL_${part} STREQUAL "")  # a preset's $env{OBJEVAL_<PART>}, unset
    unset(OBJEVAL_${part} CACHE)
  endif()
  set(OBJEVAL_${part} AUTO CACHE STRING "${description}: AUTO, ON or OFF")
  set_property(CACHE OBJEVAL_${part} PROPERTY STRINGS AUTO ON OFF)
  if(NOT OBJEVAL_${part} MATCHES "^(AUTO|ON|OFF)$")
    set(hint "")
    if(part STREQUAL "PYTHON")
      set(hint " (the interpreter is OBJEVAL_PYTHON_EXECUTABLE in the environment, or Python3_EXECUTABLE)")
    endif()
    message(FATAL_ERROR "objeval: OBJEVAL_${part} is \"${OBJEVAL_${part}}\"; it takes AUTO, ON or OFF${hint}")
  endif()
endfunction()

# objeval_part_wanted(PART): returns from the calling file where the part is OFF.
macro(objeval_part_wanted part)
  if(OBJEVAL_${part} STREQUAL "OFF")
    return()
  endif()
endmacro()

# objeval_part_skip(PART "the X binding is not built: what is missing (install pkg)"):
# where the part cannot be built; returns from the calling file.
macro(objeval_part_skip part why)
  if(OBJEVAL_${part} STREQUAL "ON")
    message(FATAL_ERROR "objeval: OBJEVAL_${part}=ON, but ${why}")
  endif()
  message(NOTICE "objeval: ${why}")
  return()
endmacro()

# objeval_part_built(PART): the part is built; its tests may be registered.
function(objeval_part_built part)
  set_property(GLOBAL APPEND PROPERTY OBJEVAL_PARTS_BUILT ${part})
endfunction()

function(objeval_part_is_built part out)
  get_property(built GLOBAL PROPERTY OBJEVAL_PARTS_BUILT)
  if(part IN_LIST built)
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()
