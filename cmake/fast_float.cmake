# SPDX-License-Identifier: MIT
# fast_float, header-only, converts decimal text for the programs without the
# C library. Installed (Debian: libfast-float-dev), or else fetched where a
# network answers, pinned by hash; failing both, OBJEVAL_FAST_FLOAT_INCLUDE_DIR
# stays unset and the text readers convert with the standard library's
# from_chars.
option(OBJEVAL_FETCH_FAST_FLOAT "Download fast_float when it is not installed" ON)
set(objeval_fast_float_version 3.9.0)
# Each header of that release with its SHA-256: a download that differs is
# not used.
set(objeval_fast_float_headers
  ascii_number.h=ed16adcfdc22658c1c9d88d22f68ccedaf25a21deb5772d073f06c8d4dc5206b
  bigint.h=c4e99e34cc6a1d60e97252edf33b394cc8524a33c7b2b254aa1b8f7e949a53ab
  decimal_to_binary.h=b995dd37411391f11e699be7e815f51d67f3e82130e519d35ca1239f1beaad17
  digit_comparison.h=006a0e499dc920035bba934c5aab7e38573932edbe1a789ca6df12018cb20699
  fast_float.h=8da017327bf3968936fcca579e08cce67bfe0f0843fbecda4541eb8bae6bddff
  fast_table.h=3e9df263b4f8753b7b42dc649a0e83652eef917d5c4aa46f76cd0f77effe932d
  float_common.h=0842920fd6c3107a15888de0448168345694e42be0c13f65f047a0faf41bd09d
  parse_number.h=25b98ce12a4e6c098f89fac03faa3f6d784734bfb3085f6b6f4b4952fdee49ee
  simple_decimal_conversion.h=a00732e55f074306c49e262ad71cdea5a7ef00abfbe7c12a21df6b11f7919cd7)

find_path(OBJEVAL_FAST_FLOAT_INCLUDE_DIR fast_float/fast_float.h)
if(NOT OBJEVAL_FAST_FLOAT_INCLUDE_DIR AND OBJEVAL_FETCH_FAST_FLOAT AND NOT FETCHCONTENT_FULLY_DISCONNECTED)
  set(fetched ${PROJECT_BINARY_DIR}/_deps/fast_float-${objeval_fast_float_version})
  set(headers ${fetched}/include/fast_float)
  if(NOT EXISTS ${headers}/fast_float.h)
    set(partial ${headers}.partial)
    file(REMOVE_RECURSE ${partial})
    set(complete ON)
    foreach(entry IN LISTS objeval_fast_float_headers)
      string(REPLACE "=" ";" entry ${entry})
      list(GET entry 0 header)
      list(GET entry 1 expected)
      file(DOWNLOAD
        https://raw.githubusercontent.com/fastfloat/fast_float/v${objeval_fast_float_version}/include/fast_float/${header}
        ${partial}/${header} STATUS status TIMEOUT 60 INACTIVITY_TIMEOUT 15)
      list(GET status 0 status_code)
      if(status_code EQUAL 0)
        file(SHA256 ${partial}/${header} got)
      endif()
      if(NOT status_code EQUAL 0 OR NOT got STREQUAL expected)
        if(status_code EQUAL 0)
          message(WARNING "objeval: the downloaded fast_float ${header} is not the expected one (SHA-256 ${got}); not used")
        endif()
        set(complete OFF)
        break()
      endif()
    endforeach()
    if(complete)
      file(RENAME ${partial} ${headers})
      message(STATUS "objeval: fast_float ${objeval_fast_float_version} downloaded into ${fetched}")
    endif()
    file(REMOVE_RECURSE ${partial})
  endif()
  if(EXISTS ${headers}/fast_float.h)
    set(OBJEVAL_FAST_FLOAT_INCLUDE_DIR ${fetched}/include CACHE PATH "fast_float's include directory" FORCE)
  endif()
endif()

# Text readers: the programs' reader and objeval-eval's.
add_library(objeval_text INTERFACE)
target_link_libraries(objeval_text INTERFACE objeval_frame)
if(OBJEVAL_FAST_FLOAT_INCLUDE_DIR)
  target_include_directories(objeval_text SYSTEM INTERFACE $<BUILD_INTERFACE:${OBJEVAL_FAST_FLOAT_INCLUDE_DIR}>)
  target_compile_definitions(objeval_text INTERFACE OBJEVAL_FAST_FLOAT)
endif()
