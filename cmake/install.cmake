# SPDX-License-Identifier: MIT
# `cmake --install` puts in place the programs, the C interface library, the
# public headers under include/objeval/, and a CMake package:
# find_package(objeval) gives objeval::capi (libobjeval.so) and a static C++
# library a problem, objeval::doorcost, objeval::quadobj.
include(CMakePackageConfigHelpers)

set(problem_libraries ${OBJEVAL_PROBLEM_NAMES})
list(TRANSFORM problem_libraries PREPEND objeval_)
install(TARGETS ${OBJEVAL_PROBLEM_NAMES} objeval_eval RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS objeval_headers ${problem_libraries} objeval_c
  EXPORT objevalTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/objeval DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} PATTERN "*.in" EXCLUDE)
install(FILES ${PROJECT_BINARY_DIR}/include/objeval/version.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/objeval)

set(config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/objeval)
install(EXPORT objevalTargets NAMESPACE objeval:: DESTINATION ${config_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/objevalConfig.cmake.in
  ${PROJECT_BINARY_DIR}/objevalConfig.cmake INSTALL_DESTINATION ${config_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/objevalConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/objevalConfig.cmake ${PROJECT_BINARY_DIR}/objevalConfigVersion.cmake
  DESTINATION ${config_dir})

# pkg-config: `pkg-config --cflags --libs objeval` builds a C, Fortran or R
# caller against the prefix. Where the directories lie under the prefix, the
# prefix is found from the file's own place, so that the install may be
# staged (DESTDIR) or moved. No rpath: where the library lies outside the
# loader's path, a caller adds its own, or LD_LIBRARY_PATH.
set(pc_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(OBJEVAL_PC_PREFIX ${CMAKE_INSTALL_PREFIX})
  set(OBJEVAL_PC_LIBDIR ${CMAKE_INSTALL_FULL_LIBDIR})
  set(OBJEVAL_PC_INCLUDEDIR ${CMAKE_INSTALL_FULL_INCLUDEDIR})
else()
  file(RELATIVE_PATH to_prefix /prefix/${pc_dir} /prefix)
  set(OBJEVAL_PC_PREFIX "\${pcfiledir}/${to_prefix}")
  set(OBJEVAL_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
  set(OBJEVAL_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/objeval.pc.in ${PROJECT_BINARY_DIR}/objeval.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/objeval.pc DESTINATION ${pc_dir})

# share/doc/objeval: the licence, NEWS, and a NOTICE of the third-party code
# this build compiled in.
set(notice "objeval is under the MIT licence (LICENSE).\n")
if(OBJEVAL_FAST_FLOAT_INCLUDE_DIR)
  file(READ ${PROJECT_SOURCE_DIR}/cmake/notice/fast_float.txt fast_float_notice)
  string(APPEND notice "It includes third-party code as follows.\n\n${fast_float_notice}")
else()
  string(APPEND notice "This build contains no third-party code.\n")
endif()
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/NOTICE CONTENT "${notice}")
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/NEWS.md ${PROJECT_BINARY_DIR}/NOTICE
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
