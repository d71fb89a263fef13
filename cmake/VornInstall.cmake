# SPDX-License-Identifier: MIT
# Installation: headers, the library, a CMake package (find_package(Vorn)
# gives Vorn::vorn) with its version file, and a pkg-config file.

include(CMakePackageConfigHelpers)

set(VORN_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/Vorn")

# Two components, as distributions split them: `runtime` (the shared
# library) and `development` (headers, the link-time name or the static
# library, the CMake package and the pkg-config file).
install(TARGETS vorn EXPORT VornTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
    NAMELINK_COMPONENT development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# The GDI interop's header (and the platform headers it includes) only where
# the interop is part of the library.
set(_vorn_header_excludes)
if(NOT VORN_GDI_IN_PRODUCT)
  list(APPEND _vorn_header_excludes PATTERN "gdi.h" EXCLUDE)
endif()
install(DIRECTORY include/vorn DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development
  FILES_MATCHING PATTERN "*.h" PATTERN "*.hpp" ${_vorn_header_excludes})
if(VORN_GDI_IN_PRODUCT)
  set(_vorn_platform_headers)
  if(NOT WIN32)
    list(APPEND _vorn_platform_headers platform/gdi/include/vorn/platform/gdi.h)
  endif()
  if(NOT VORN_WITH_MFC)
    list(APPEND _vorn_platform_headers platform/mfc/include/vorn/platform/cdc.h)
  endif()
  install(FILES ${_vorn_platform_headers}
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vorn/platform COMPONENT development)
endif()

install(EXPORT VornTargets
  NAMESPACE Vorn::
  DESTINATION ${VORN_INSTALL_CMAKEDIR}
  COMPONENT development)

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
  DESTINATION ${VORN_INSTALL_CMAKEDIR}
  COMPONENT development)

# A shared library needs nothing more at link time. A static one brings its
# private dependencies: those with a pkg-config module go to
# Requires.private, the rest (Windows' gdi32) to Libs.private. The C++
# runtime comes from the C++ compiler that links the program.
set(VORN_PC_REQUIRES_PRIVATE "")
set(VORN_PC_LIBS_PRIVATE "")
if(NOT BUILD_SHARED_LIBS)
  get_property(_vorn_pc_requires GLOBAL PROPERTY VORN_PKGCONFIG_REQUIRES)
  if(_vorn_pc_requires)
    list(REMOVE_DUPLICATES _vorn_pc_requires)
  endif()
  string(REPLACE ";" " " VORN_PC_REQUIRES_PRIVATE "${_vorn_pc_requires}")
  if(WIN32 AND VORN_GDI_IN_PRODUCT)
    set(VORN_PC_LIBS_PRIVATE "-lgdi32")
  endif()
endif()
set(VORN_PC_CFLAGS "")
if(NOT BUILD_SHARED_LIBS)
  string(APPEND VORN_PC_CFLAGS " -DVORN_STATIC")
endif()
if(VORN_GDI_IN_PRODUCT AND NOT WIN32)
  string(APPEND VORN_PC_CFLAGS " -DVORN_GDI_STANDIN")
endif()
# The .pc file finds its prefix from its own place, so that an installed
# tree can be moved (or installed with cmake --install --prefix).
file(RELATIVE_PATH _vorn_pc_up "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
string(REGEX REPLACE "/$" "" _vorn_pc_up "${_vorn_pc_up}")
set(VORN_PC_PREFIX "\${pcfiledir}/${_vorn_pc_up}")
configure_file(cmake/vorn.pc.in "${PROJECT_BINARY_DIR}/vorn.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/vorn.pc"
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)
