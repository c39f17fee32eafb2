# SPDX-License-Identifier: MIT
# One evaluator: the library objeval::NAME from SOURCES, and the program NAME
# from main.cpp. RUN_PATH names the sources a run goes through besides
# main.cpp: none of them throws, and built without exception support the
# program carries none of the C++ runtime. DOUBLES names the sources of its
# batch from doubles, an internal library of its own, objeval_NAME_doubles,
# which the C interface links and nothing else builds.
function(objeval_evaluator name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;RUN_PATH;DOUBLES")
  # Static whatever BUILD_SHARED_LIBS says: the shared library is libobjeval,
  # which exports the C interface alone. Hidden symbols, so that nothing of
  # these leaves libobjeval.
  add_library(objeval_${name} STATIC ${arg_SOURCES})
  add_library(objeval::${name} ALIAS objeval_${name})
  set_target_properties(objeval_${name} PROPERTIES
    EXPORT_NAME ${name} OUTPUT_NAME objeval_${name} POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_link_libraries(objeval_${name} PUBLIC objeval_headers Threads::Threads
    PRIVATE $<BUILD_INTERFACE:objeval_frame>)
  objeval_defaults(objeval_${name})
  set_source_files_properties(${arg_RUN_PATH} PROPERTIES COMPILE_OPTIONS -fno-exceptions)

  add_library(objeval_${name}_doubles STATIC EXCLUDE_FROM_ALL ${arg_DOUBLES})
  set_target_properties(objeval_${name}_doubles PROPERTIES POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_link_libraries(objeval_${name}_doubles PUBLIC objeval_${name} PRIVATE objeval_frame)
  objeval_defaults(objeval_${name}_doubles)

  objeval_program(${name} LIBRARY objeval::${name} SOURCES main.cpp ${arg_RUN_PATH})
endfunction()
