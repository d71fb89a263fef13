# SPDX-License-Identifier: MIT
# Toolchain for 64-bit Windows programs built on Linux with MinGW-w64
# (Debian's g++-mingw-w64-x86-64), run there under Wine. Used by
# `./run wine-test`.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_vorn_mingw x86_64-w64-mingw32)
# The POSIX thread model: GoogleTest needs std::mutex.
set(CMAKE_C_COMPILER ${_vorn_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_vorn_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_vorn_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_vorn_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs carry their C and C++ runtimes, so Wine needs no MinGW DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(VORN_WINE64 wine64 PATHS /usr/lib/wine /usr/lib/wine64 NO_CMAKE_FIND_ROOT_PATH)
if(VORN_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VORN_WINE64})
endif()
