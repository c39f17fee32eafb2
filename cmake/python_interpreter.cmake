# SPDX-License-Identifier: MIT
# The Python 3 that the tests run and whose layout `cmake --install` follows.
# Python3_EXECUTABLE (the presets pass $OBJEVAL_PYTHON_EXECUTABLE) decides when given.
# Otherwise the first python3 on PATH, unless it lacks NumPy and Debian's
# /usr/bin/python3, which Debian's python3-* packages serve, has it.
function(objeval_python_lacks python modules out)
  execute_process(
    COMMAND ${python} -c "import importlib.util, sys; print(' '.join(m for m in sys.argv[1:] if importlib.util.find_spec(m) is None))" ${modules}
    OUTPUT_VARIABLE missing OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status ERROR_QUIET)
  if(NOT status EQUAL 0)
    set(missing ${modules})
  endif()
  separate_arguments(missing)
  set(${out} "${missing}" PARENT_SCOPE)
endfunction()

set(objeval_python_test_modules numpy pytest scipy matplotlib dask distributed)
if(Python3_EXECUTABLE MATCHES "^(AUTO|ON|OFF|auto|on|off)$")
  message(FATAL_ERROR "objeval: \"${Python3_EXECUTABLE}\" was given as the Python interpreter "
    "(OBJEVAL_PYTHON_EXECUTABLE or Python3_EXECUTABLE): name a python3 instead. AUTO, ON and OFF are for "
    "OBJEVAL_PYTHON, whether the Python package is built.")
endif()
if(Python3_EXECUTABLE)
  set(candidates ${Python3_EXECUTABLE})
else()
  find_program(python_on_path NAMES python3 NO_CACHE)
  set(candidates ${python_on_path} /usr/bin/python3)
  list(REMOVE_DUPLICATES candidates)
  list(FILTER candidates EXCLUDE REGEX "NOTFOUND$")
endif()
set(chosen "")
foreach(python IN LISTS candidates)
  if(EXISTS ${python})
    objeval_python_lacks(${python} "${objeval_python_test_modules}" lacks)
    if(NOT chosen OR (NOT "numpy" IN_LIST lacks AND "numpy" IN_LIST chosen_lacks))
      set(chosen ${python})
      set(chosen_lacks "${lacks}")
    endif()
  endif()
endforeach()
if(chosen)
  set(Python3_EXECUTABLE ${chosen})
endif()
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(lacks_for_tests "")
foreach(module IN ITEMS numpy pytest)
  if(module IN_LIST chosen_lacks)
    list(APPEND lacks_for_tests ${module})
  endif()
endforeach()
if(OBJEVAL_PYTHON STREQUAL "ON" AND lacks_for_tests)
  string(REPLACE ";" " and " lacking "${lacks_for_tests}")
  string(REPLACE ";" " python3-" packages "python3-${lacks_for_tests}")
  message(FATAL_ERROR "objeval: OBJEVAL_PYTHON=ON, but ${Python3_EXECUTABLE} lacks ${lacking}, which the Python "
    "tests need: install ${packages}, or name a Python that has them in OBJEVAL_PYTHON_EXECUTABLE.")
endif()
if(NOT OBJEVAL_SANITIZE)
  if(lacks_for_tests)
    string(REPLACE ";" ", " tried "${candidates}")
    message(NOTICE "objeval: the Python tests will be skipped: no Python tried (${tried}) has NumPy and pytest. "
      "To run them: install python3-numpy python3-pytest python3-scipy python3-matplotlib python3-dask "
      "python3-distributed (or set OBJEVAL_PYTHON_EXECUTABLE to a Python that has them), then configure again.")
  elseif(chosen_lacks)
    string(REPLACE ";" ", " lacking "${chosen_lacks}")
    string(REPLACE ";" " python3-" packages "python3-${chosen_lacks}")
    message(NOTICE "objeval: the Python tests use ${Python3_EXECUTABLE}; those of the examples that need ${lacking} "
      "will be skipped. To run them: install ${packages}, then configure again.")
  elseif(python_on_path AND NOT python_on_path STREQUAL Python3_EXECUTABLE)
    message(STATUS "objeval: the Python tests use ${Python3_EXECUTABLE}, which has NumPy (${python_on_path} has not)")
  endif()
endif()
