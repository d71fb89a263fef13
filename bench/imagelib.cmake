# SPDX-License-Identifier: MIT
# Reading and writing a 1920 x 1080 JPEG through the image library, beside
# libjpeg-turbo's TurboJPEG API called directly with the same settings.
if(VORN_WITH_IMAGELIB)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TURBOJPEG REQUIRED IMPORTED_TARGET libturbojpeg)
  vorn_add_bench(vorn_bench_imagelib imagelib_bench.cpp)
  target_link_libraries(vorn_bench_imagelib PRIVATE PkgConfig::TURBOJPEG)
endif()

# Hostile files of the tests and of the fuzz seed folders against plain
# files of the same dimensions, read from memory.
if(VORN_WITH_IMAGELIB)
  find_package(JPEG REQUIRED)
  find_package(GIF REQUIRED)
  find_package(ZLIB REQUIRED)
  vorn_add_bench(vorn_bench_hostile hostile_bench.cpp)
  target_compile_definitions(vorn_bench_hostile PRIVATE VORN_TESTDATA_DIR="${VORN_TESTDATA_DIR}")
  target_link_libraries(vorn_bench_hostile PRIVATE JPEG::JPEG GIF::GIF ZLIB::ZLIB)
endif()
