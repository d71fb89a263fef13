# SPDX-License-Identifier: MIT
# Installation: headers, the library, a CMake package (find_package(Vorn)
# gives Vorn::vorn) with its version file, and a pkg-config file.

include(CMakePackageConfigHelpers)

set(VORN_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/Vorn")

install(TARGETS vorn EXPORT VornTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(_vorn_header_excludes)
if(NOT VORN_WITH_GDI)
  list(APPEND _vorn_header_excludes PATTERN "gdi.h" EXCLUDE)
endif()
install(DIRECTORY include/vorn DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h" PATTERN "*.hpp" ${_vorn_header_excludes})

install(EXPORT VornTargets
  NAMESPACE Vorn::
  DESTINATION ${VORN_INSTALL_CMAKEDIR})

# A static library brings its private dependencies along; its package config
# must find them again.
get_property(_vorn_packages GLOBAL PROPERTY VORN_PACKAGE_DEPENDENCIES)
set(VORN_FIND_DEPENDENCIES "")
if(NOT BUILD_SHARED_LIBS AND _vorn_packages)
  list(REMOVE_DUPLICATES _vorn_packages)
  foreach(_package IN LISTS _vorn_packages)
    string(APPEND VORN_FIND_DEPENDENCIES "find_dependency(${_package})\n")
  endforeach()
endif()

configure_package_config_file(cmake/VornConfig.cmake.in
  "${PROJECT_BINARY_DIR}/VornConfig.cmake"
  INSTALL_DESTINATION ${VORN_INSTALL_CMAKEDIR})
write_basic_package_version_file("${PROJECT_BINARY_DIR}/VornConfigVersion.cmake"
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMinorVersion)
install(FILES
  "${PROJECT_BINARY_DIR}/VornConfig.cmake"
  "${PROJECT_BINARY_DIR}/VornConfigVersion.cmake"
  DESTINATION ${VORN_INSTALL_CMAKEDIR})

get_property(_vorn_pc_requires GLOBAL PROPERTY VORN_PKGCONFIG_REQUIRES)
if(_vorn_pc_requires)
  list(REMOVE_DUPLICATES _vorn_pc_requires)
endif()
string(REPLACE ";" " " VORN_PC_REQUIRES_PRIVATE "${_vorn_pc_requires}")
set(VORN_PC_CFLAGS "")
if(NOT BUILD_SHARED_LIBS)
  set(VORN_PC_CFLAGS "-DVORN_STATIC")
endif()
# The .pc file finds its prefix from its own place, so that an installed
# tree can be moved (or installed with cmake --install --prefix).
file(RELATIVE_PATH _vorn_pc_up "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
string(REGEX REPLACE "/$" "" _vorn_pc_up "${_vorn_pc_up}")
set(VORN_PC_PREFIX "\${pcfiledir}/${_vorn_pc_up}")
configure_file(cmake/vorn.pc.in "${PROJECT_BINARY_DIR}/vorn.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/vorn.pc"
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
