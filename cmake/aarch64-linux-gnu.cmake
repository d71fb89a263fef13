# SPDX-License-Identifier: MIT
# Toolchain for 64-bit ARM Linux programs built on another Linux with
# Debian's g++-aarch64-linux-gnu, run there under qemu-user. Used by
# `./run arm-test`.

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(_vorn_arm aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${_vorn_arm}-gcc)
set(CMAKE_CXX_COMPILER ${_vorn_arm}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${_vorn_arm})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# qemu takes the ARM C and C++ runtimes from the cross compiler's root.
find_program(VORN_QEMU_AARCH64 qemu-aarch64 NO_CMAKE_FIND_ROOT_PATH)
if(VORN_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VORN_QEMU_AARCH64} -L /usr/${_vorn_arm})
endif()
