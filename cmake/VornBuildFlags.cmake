# SPDX-License-Identifier: MIT
# Compiler settings for everything built in this tree (never exported):
# warnings, exact floating point, and the sanitizers when asked for.

add_library(vorn_build_flags INTERFACE)

if(MSVC)
  target_compile_options(vorn_build_flags INTERFACE /W4 /fp:precise)
  if(VORN_WERROR)
    target_compile_options(vorn_build_flags INTERFACE /WX)
  endif()
else()
  # Contracting a * b + c into one fused operation would change results
  # that are fixed to the bit (resampling, warping, clipping).
  target_compile_options(vorn_build_flags INTERFACE
    -Wall -Wextra -Wpedantic -ffp-contract=off)
  if(VORN_WERROR)
    target_compile_options(vorn_build_flags INTERFACE -Werror)
  endif()
endif()

if(VORN_SANITIZE)
  if(MSVC)
    message(FATAL_ERROR "VORN_SANITIZE needs GCC or Clang")
  endif()
  target_compile_options(vorn_build_flags INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(vorn_build_flags INTERFACE -fsanitize=address,undefined)
endif()

# Links private dependencies of the library: the object library gets their
# include paths, the shared or static library and the internal test library
# link them. PACKAGES are find_package names that a static build's package
# config must find again; PKGCONFIG are pkg-config module names for vorn.pc.
function(vorn_link_private)
  cmake_parse_arguments(ARG "" "" "TARGETS;PACKAGES;PKGCONFIG" ${ARGN})
  target_link_libraries(vorn_obj PRIVATE ${ARG_TARGETS})
  target_link_libraries(vorn PRIVATE ${ARG_TARGETS})
  target_link_libraries(vorn_internal PUBLIC ${ARG_TARGETS})
  set_property(GLOBAL APPEND PROPERTY VORN_PACKAGE_DEPENDENCIES ${ARG_PACKAGES})
  set_property(GLOBAL APPEND PROPERTY VORN_PKGCONFIG_REQUIRES ${ARG_PKGCONFIG})
endfunction()

# Fuzzing: everything is instrumented for libFuzzer's coverage; the fuzz
# programs themselves link libFuzzer (fuzz/CMakeLists.txt).
if(VORN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "VORN_FUZZ needs clang (libFuzzer)")
  endif()
  target_compile_options(vorn_build_flags INTERFACE -fsanitize=fuzzer-no-link)
  target_link_options(vorn_build_flags INTERFACE -fsanitize=fuzzer-no-link)
endif()
