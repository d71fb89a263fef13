# SPDX-License-Identifier: MIT
# Builds and runs the program in consumer/, a project outside this tree:
#
#   -DPREFIX=<tree>     against Vorn installed in <tree> (a cmake --install
#                       prefix, /usr, or a root unpacked from the packages),
#                       once through find_package(Vorn), once through
#                       pkg-config; with -DBUILD_DIR=<build> the build is
#                       first installed into a fresh <tree>.
#   -DSUBPROJECT=<src>  with Vorn added by add_subdirectory(<src>)
#                       (subproject/CMakeLists.txt).
#
# Also: WORK_DIR (scratch), GENERATOR, CXX_COMPILER and CXX_FLAGS.

set(_here "${CMAKE_CURRENT_LIST_DIR}")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

function(expect_ok program)
  run(${program})
  if(NOT last_output MATCHES "vorn consumer ok")
    message(FATAL_ERROR "unexpected output of ${program}: ${last_output}")
  endif()
  message(STATUS "${program}: ${last_output}")
endfunction()

set(_cmake_args -G "${GENERATOR}" -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
  -DCMAKE_CXX_FLAGS=${CXX_FLAGS})
file(REMOVE_RECURSE "${WORK_DIR}")

if(SUBPROJECT)
  run(${CMAKE_COMMAND} -S "${_here}/subproject" -B "${WORK_DIR}" ${_cmake_args}
      -DVORN_SOURCE_DIR=${SUBPROJECT})
  run(${CMAKE_COMMAND} --build "${WORK_DIR}")
  expect_ok("${WORK_DIR}/vorn_consumer")
  return()
endif()

if(BUILD_DIR)
  file(REMOVE_RECURSE "${PREFIX}")
  run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}")
endif()

# find_package(Vorn) and Vorn::vorn
run(${CMAKE_COMMAND} -S "${_here}/consumer" -B "${WORK_DIR}/cmake" ${_cmake_args}
    -DCMAKE_PREFIX_PATH=${PREFIX} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build "${WORK_DIR}/cmake")
expect_ok("${WORK_DIR}/cmake/vorn_consumer")
expect_ok("${WORK_DIR}/cmake/vorn_interface_consumer")

# pkg-config --cflags --libs --static vorn (the private dependencies count
# only for a static library)
find_program(PKG_CONFIG pkg-config)
if(NOT PKG_CONFIG OR WIN32)
  return()
endif()
file(GLOB _pc "${PREFIX}/lib*/pkgconfig/vorn.pc" "${PREFIX}/lib*/*/pkgconfig/vorn.pc")
list(LENGTH _pc _count)
if(NOT _count EQUAL 1)
  message(FATAL_ERROR "expected one vorn.pc under ${PREFIX}, found: ${_pc}")
endif()
get_filename_component(_pc_dir "${_pc}" DIRECTORY)
get_filename_component(_libdir "${_pc_dir}" DIRECTORY)
set(ENV{PKG_CONFIG_PATH} "${_pc_dir}")
run(${PKG_CONFIG} --cflags --libs --static vorn)
string(STRIP "${last_output}" _flags)
separate_arguments(_flags UNIX_COMMAND "${_flags}")
separate_arguments(_extra UNIX_COMMAND "${CXX_FLAGS}")
run(${CXX_COMPILER} -std=c++17 ${_extra} "${_here}/consumer/main.cpp" -o "${WORK_DIR}/pc_consumer"
    ${_flags} "-Wl,-rpath,${_libdir}")
expect_ok("${WORK_DIR}/pc_consumer")
