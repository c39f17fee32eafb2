# SPDX-License-Identifier: MIT
# `cmake --install` also puts the Python package objeval, with its own copy
# of libobjeval, into the prefix's Python directory.
objeval_part_wanted(PYTHON)
find_package(Python3 COMPONENTS Interpreter)
if(NOT Python3_FOUND)
  objeval_part_skip(PYTHON "the Python package is not installed: no Python 3 found: install python3")
endif()
objeval_part_built(PYTHON)
if(NOT OBJEVAL_PYTHON_INSTALL_DIR)
  execute_process(
    COMMAND ${Python3_EXECUTABLE} -c
      "import sysconfig; print(sysconfig.get_path('platlib', 'posix_prefix', vars={'base': '', 'platbase': ''}).lstrip('/'))"
    OUTPUT_VARIABLE python_dir OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(OBJEVAL_PYTHON_INSTALL_DIR ${python_dir} CACHE PATH "Where cmake --install puts the Python package, under the prefix")
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/objeval DESTINATION ${OBJEVAL_PYTHON_INSTALL_DIR}
  FILES_MATCHING PATTERN "*.py" PATTERN "__pycache__" EXCLUDE)
install(FILES $<TARGET_FILE:objeval_c> DESTINATION ${OBJEVAL_PYTHON_INSTALL_DIR}/objeval RENAME libobjeval.so)
install(FILES ${PROJECT_SOURCE_DIR}/VERSION DESTINATION ${OBJEVAL_PYTHON_INSTALL_DIR}/objeval)
