# SPDX-License-Identifier: MIT
# Reading and writing a 1920 x 1080 JPEG through the image library, beside
# libjpeg-turbo's TurboJPEG API called directly with the same settings.
if(VORN_WITH_IMAGELIB)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TURBOJPEG REQUIRED IMPORTED_TARGET libturbojpeg)
  vorn_add_bench(vorn_bench_imagelib imagelib_bench.cpp)
  target_link_libraries(vorn_bench_imagelib PRIVATE PkgConfig::TURBOJPEG)
endif()
