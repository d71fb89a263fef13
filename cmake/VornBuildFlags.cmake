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

# The instruction-set kernels (src/core/kernels.h): SSE2 and AVX2 where the
# target processor is x86, NEON where it is 64-bit ARM; other processors
# run the portable kernels only, as does a build with VORN_SIMD off.
option(VORN_SIMD "Build the SSE2/AVX2 (x86) or NEON (64-bit ARM) kernels" ON)
set(VORN_KERNEL_SETS "")
if(VORN_SIMD)
  if(MSVC)
    set(_vorn_cpu "${CMAKE_CXX_COMPILER_ARCHITECTURE_ID}")
  else()
    set(_vorn_cpu "${CMAKE_SYSTEM_PROCESSOR}")
  endif()
  string(TOLOWER "${_vorn_cpu}" _vorn_cpu)
  if(_vorn_cpu MATCHES "^(x86_64|amd64|x64|x86|i[3-6]86)$")
    set(VORN_KERNEL_SETS sse2 avx2)
  elseif(_vorn_cpu MATCHES "^(aarch64|arm64)$")
    set(VORN_KERNEL_SETS neon)
  endif()
endif()
# Each set's compiler flags.
if(MSVC)
  set(VORN_KERNEL_FLAGS_sse2 "")
  set(VORN_KERNEL_FLAGS_avx2 /arch:AVX2)
else()
  set(VORN_KERNEL_FLAGS_sse2 -msse2)
  set(VORN_KERNEL_FLAGS_avx2 -mavx2)
  if(MINGW)
    # GCC for Windows may spill 32-byte vectors to a stack that is only
    # 16-byte aligned with aligned moves; the assembler makes them unaligned.
    list(APPEND VORN_KERNEL_FLAGS_avx2 -Wa,-muse-unaligned-vector-move)
  endif()
endif()
set(VORN_KERNEL_FLAGS_neon "")

# vorn_kernel_sources(SSE2 <files>... AVX2 <files>... NEON <files>...): a
# subsystem's instruction-set files, each into its set's object library
# (made in src/CMakeLists.txt) where the build has that set.
function(vorn_kernel_sources)
  cmake_parse_arguments(ARG "" "" "SSE2;AVX2;NEON" ${ARGN})
  foreach(_set sse2 avx2 neon)
    string(TOUPPER ${_set} _key)
    if(TARGET vorn_kernels_${_set} AND ARG_${_key})
      list(TRANSFORM ARG_${_key} PREPEND "${CMAKE_CURRENT_SOURCE_DIR}/")
      target_sources(vorn_kernels_${_set} PRIVATE ${ARG_${_key}})
    endif()
  endforeach()
endfunction()

# Compiles a target's sources as the library's own code: C++17 without
# extensions, hidden symbols (only what VORN_API marks is exported), position
# independent where the library is shared, the export macro's definition and
# the build flags above.
function(vorn_compile_as_library target)
  target_compile_features(${target} PUBLIC cxx_std_17)
  set_target_properties(${target} PROPERTIES
    CXX_EXTENSIONS OFF
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  if(BUILD_SHARED_LIBS)
    # (Otherwise CMAKE_POSITION_INDEPENDENT_CODE decides, as for any target.)
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    target_compile_definitions(${target} PRIVATE VORN_BUILDING)
  else()
    target_compile_definitions(${target} PRIVATE VORN_STATIC)
  endif()
  target_link_libraries(${target} PRIVATE $<BUILD_INTERFACE:vorn_build_flags>)
endfunction()

# vorn_link_platform(<part>...): the library itself calls these stand-ins
# (internal libraries of platform/). Their objects go into the library,
# where their symbols stay hidden; they are never installed or exported.
# The internal library links them as they are.
function(vorn_link_platform)
  foreach(_part IN LISTS ARGN)
    get_property(_linked GLOBAL PROPERTY VORN_LINKED_PLATFORM)
    if(_part IN_LIST _linked)
      continue()
    endif()
    set_property(GLOBAL APPEND PROPERTY VORN_LINKED_PLATFORM ${_part})
    get_target_property(_type ${_part} TYPE)
    if(NOT _type STREQUAL "INTERFACE_LIBRARY")
      target_sources(vorn PRIVATE $<TARGET_OBJECTS:${_part}>)
    endif()
    target_link_libraries(vorn_obj PRIVATE $<BUILD_INTERFACE:${_part}>)
    target_link_libraries(vorn_internal PUBLIC ${_part})
    # What the part itself links (set by the part as VORN_LINKS,
    # VORN_PACKAGES, VORN_PKGCONFIG) the library links in its place.
    if(NOT _type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(_targets ${_part} VORN_LINKS)
      get_target_property(_packages ${_part} VORN_PACKAGES)
      get_target_property(_modules ${_part} VORN_PKGCONFIG)
      if(_targets)
        vorn_link_private(TARGETS ${_targets} PACKAGES ${_packages} PKGCONFIG ${_modules})
      endif()
    endif()
  endforeach()
endfunction()

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
