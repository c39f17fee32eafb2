# `cmake --install` puts in place the programs, the C interface library, the
# public headers under include/objeval/, and a CMake package:
# find_package(objeval) gives objeval::capi (libobjeval.so) and the static
# C++ libraries objeval::doorcost and objeval::quadobj.
include(CMakePackageConfigHelpers)

install(TARGETS doorcost quadobj objeval_eval RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS objeval_headers objeval_doorcost objeval_quadobj objeval_c
  EXPORT objevalTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/objeval DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/objeval)
install(EXPORT objevalTargets NAMESPACE objeval:: DESTINATION ${config_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/objevalConfig.cmake.in
  ${PROJECT_BINARY_DIR}/objevalConfig.cmake INSTALL_DESTINATION ${config_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/objevalConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/objevalConfig.cmake ${PROJECT_BINARY_DIR}/objevalConfigVersion.cmake
  DESTINATION ${config_dir})

# pkg-config: `pkg-config --cflags --libs objeval` builds a C, Fortran or R
# caller against the prefix, wherever it was moved (the prefix is found from
# the file's own place); the library's directory is built into the caller.
configure_file(${PROJECT_SOURCE_DIR}/cmake/objeval.pc.in ${PROJECT_BINARY_DIR}/objeval.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/objeval.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
