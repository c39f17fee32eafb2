# `cmake --install` also puts the Python package objeval, with its own copy
# of libobjeval, into the prefix's Python directory.
option(OBJEVAL_PYTHON "Install the Python package objeval" ON)
if(OBJEVAL_PYTHON)
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_FOUND AND NOT OBJEVAL_PYTHON_INSTALL_DIR)
    execute_process(
      COMMAND ${Python3_EXECUTABLE} -c
        "import sysconfig; print(sysconfig.get_path('platlib', 'posix_prefix', vars={'base': '', 'platbase': ''}).lstrip('/'))"
      OUTPUT_VARIABLE python_dir OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(OBJEVAL_PYTHON_INSTALL_DIR ${python_dir} CACHE PATH "Where cmake --install puts the Python package, under the prefix")
  endif()
  if(OBJEVAL_PYTHON_INSTALL_DIR)
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/python/objeval DESTINATION ${OBJEVAL_PYTHON_INSTALL_DIR}
      FILES_MATCHING PATTERN "*.py" PATTERN "__pycache__" EXCLUDE)
    install(FILES $<TARGET_FILE:objeval_c> DESTINATION ${OBJEVAL_PYTHON_INSTALL_DIR}/objeval RENAME libobjeval.so)
    install(FILES ${PROJECT_SOURCE_DIR}/VERSION DESTINATION ${OBJEVAL_PYTHON_INSTALL_DIR}/objeval)
  endif()
endif()
