# `cmake --install` puts in place the programs, the C interface library, and a
# CMake package: find_package(objeval) gives objeval::doorcost,
# objeval::quadobj, objeval::frame and objeval::capi.
include(CMakePackageConfigHelpers)

install(TARGETS doorcost quadobj objeval_eval RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS objeval_frame objeval_doorcost objeval_quadobj objeval_c
  EXPORT objevalTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Every header under include/objeval/: <objeval/doorcost/cost.hpp>,
# <objeval/objeval.h>. The programs' own run frame is not installed.
foreach(dir frame simd threads doorcost quadobj)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${dir}/ DESTINATION ${OBJEVAL_INSTALL_HEADERS}/${dir}
    FILES_MATCHING PATTERN "*.hpp" PATTERN "bare" EXCLUDE)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/capi/objeval.h DESTINATION ${OBJEVAL_INSTALL_HEADERS})

set(config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/objeval)
install(EXPORT objevalTargets NAMESPACE objeval:: DESTINATION ${config_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/objevalConfig.cmake.in
  ${PROJECT_BINARY_DIR}/objevalConfig.cmake INSTALL_DESTINATION ${config_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/objevalConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/objevalConfig.cmake ${PROJECT_BINARY_DIR}/objevalConfigVersion.cmake
  DESTINATION ${config_dir})
