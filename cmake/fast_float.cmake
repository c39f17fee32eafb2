# fast_float, header-only, converts decimal text for the programs without the
# C library. Installed (Debian: libfast-float-dev), or else fetched where a
# network answers; failing both, OBJEVAL_FAST_FLOAT_INCLUDE_DIR stays unset
# and the text readers convert with the standard library's from_chars.
option(OBJEVAL_FETCH_FAST_FLOAT "Download fast_float when it is not installed" ON)
set(objeval_fast_float_version 6.1.6)

find_path(OBJEVAL_FAST_FLOAT_INCLUDE_DIR fast_float/fast_float.h)
if(NOT OBJEVAL_FAST_FLOAT_INCLUDE_DIR AND OBJEVAL_FETCH_FAST_FLOAT AND NOT FETCHCONTENT_FULLY_DISCONNECTED)
  set(fetched ${PROJECT_BINARY_DIR}/_deps/fast_float-${objeval_fast_float_version})
  if(NOT EXISTS ${fetched}/include/fast_float/fast_float.h)
    set(archive ${PROJECT_BINARY_DIR}/_deps/fast_float.tar.gz)
    file(DOWNLOAD
      https://github.com/fastfloat/fast_float/archive/refs/tags/v${objeval_fast_float_version}.tar.gz
      ${archive} STATUS status TIMEOUT 60 INACTIVITY_TIMEOUT 15)
    list(GET status 0 status_code)
    if(status_code EQUAL 0)
      file(ARCHIVE_EXTRACT INPUT ${archive} DESTINATION ${PROJECT_BINARY_DIR}/_deps)
      message(STATUS "objeval: fast_float ${objeval_fast_float_version} downloaded into ${fetched}")
    endif()
    file(REMOVE ${archive})
  endif()
  if(EXISTS ${fetched}/include/fast_float/fast_float.h)
    set(OBJEVAL_FAST_FLOAT_INCLUDE_DIR ${fetched}/include CACHE PATH "fast_float's include directory" FORCE)
  endif()
endif()

# Text readers: the programs' reader and objeval-eval's.
add_library(objeval_text INTERFACE)
target_include_directories(objeval_text INTERFACE $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)
if(OBJEVAL_FAST_FLOAT_INCLUDE_DIR)
  target_include_directories(objeval_text SYSTEM INTERFACE $<BUILD_INTERFACE:${OBJEVAL_FAST_FLOAT_INCLUDE_DIR}>)
  target_compile_definitions(objeval_text INTERFACE OBJEVAL_FAST_FLOAT)
endif()
