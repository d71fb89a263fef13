# SPDX-License-Identifier: MIT
# Debian packages with CPack (`cpack -G DEB` in a build configured with
# CMAKE_INSTALL_PREFIX=/usr, as `./run packages` does): the runtime
# component becomes libvorn<soversion> (the shared library; libvorn0.2 while
# the soname is libvorn.so.0.2), the development component libvorn-dev
# (headers, libvorn.so, the CMake package, vorn.pc), which depends on
# exactly the same version of the runtime package; and, with the tool, the
# tools component becomes vorn (the `vorn` command).

set(CPACK_PACKAGE_NAME vorn)
set(CPACK_PACKAGE_VENDOR "The Vorn authors")
set(CPACK_PACKAGE_CONTACT "The Vorn authors <vorn@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}/packages")
set(CPACK_GENERATOR DEB)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL development)
if(BUILD_SHARED_LIBS)
  list(PREPEND CPACK_COMPONENTS_ALL runtime)
endif()
if(TARGET vorn_tool)
  list(APPEND CPACK_COMPONENTS_ALL tools)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_LICENSE MIT)

set(_vorn_runtime_package libvorn${VORN_SOVERSION})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${_vorn_runtime_package})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(_vorn_about "Vorn draws into images of 32-bit pixels (lines, polygons, circles,
ellipses, markers), composites and resamples them, and reads and writes
BMP, PNG, JPEG and GIF files.")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "${_vorn_about}\nThis package holds the shared library.")
# Dependencies on the C and C++ runtimes, libpng, libjpeg and giflib, from
# what the library links (dpkg-shlibdeps); a shlibs file for packages built
# against it, and ldconfig run when it is installed or removed.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libvorn-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "${_vorn_about}\nThis package holds the headers, \
the CMake package (find_package(Vorn)) and the pkg-config file (vorn.pc).")
if(BUILD_SHARED_LIBS)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "${_vorn_runtime_package} (= ${PROJECT_VERSION})")
else()
  # A static library brings its dependencies to the programs that link it.
  set(_vorn_dev_depends)
  if(VORN_WITH_PNG AND "io" IN_LIST VORN_BUILT_SUBSYSTEMS)
    list(APPEND _vorn_dev_depends libpng-dev)
  endif()
  if(VORN_WITH_IMAGELIB AND "io" IN_LIST VORN_BUILT_SUBSYSTEMS)
    list(APPEND _vorn_dev_depends libjpeg-dev libgif-dev)
  endif()
  string(REPLACE ";" ", " CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "${_vorn_dev_depends}")
endif()

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME vorn)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION graphics)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "${_vorn_about}\nThis package holds the vorn command: \
image files inspected, converted, resampled, turned, cut, composited and drawn.")
if(BUILD_SHARED_LIBS)
  # The library's own package brings the C and C++ runtimes and the image
  # libraries; dpkg-shlibdeps could not place libvorn itself.
  set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "${_vorn_runtime_package} (= ${PROJECT_VERSION})")
else()
  set(CPACK_DEBIAN_TOOLS_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
