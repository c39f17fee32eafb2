# SPDX-License-Identifier: MIT
# One evaluator: the library objeval::NAME from SOURCES, and the program NAME
# from main.cpp. RUN_PATH names the sources a run goes through besides
# main.cpp: none of them throws, and built without exception support the
# program carries none of the C++ runtime.
function(objeval_evaluator name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;RUN_PATH")
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

  objeval_program(${name} LIBRARY objeval::${name} SOURCES main.cpp ${arg_RUN_PATH})
endfunction()
