# SPDX-License-Identifier: MIT
# Script behind the install_consumer test (see CMakeLists.txt).

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")

# find_package(Vorn) and Vorn::vorn
run(${CMAKE_COMMAND} -S "${SOURCE_DIR}" -B "${WORK_DIR}/cmake" -G "${GENERATOR}"
    -DCMAKE_PREFIX_PATH=${PREFIX} -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
    -DCMAKE_CXX_FLAGS=${CXX_FLAGS} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build "${WORK_DIR}/cmake")
run("${WORK_DIR}/cmake/vorn_consumer" "${TESTDATA_DIR}")
if(NOT last_output MATCHES "vorn consumer ok")
  message(FATAL_ERROR "unexpected output: ${last_output}")
endif()

# pkg-config --cflags --libs vorn
find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG AND NOT WIN32)
  set(ENV{PKG_CONFIG_PATH} "${PREFIX}/lib/pkgconfig:${PREFIX}/lib64/pkgconfig")
  foreach(_libdir lib lib64 lib/x86_64-linux-gnu)
    if(EXISTS "${PREFIX}/${_libdir}/pkgconfig/vorn.pc")
      set(ENV{PKG_CONFIG_PATH} "${PREFIX}/${_libdir}/pkgconfig")
      set(_found_libdir "${PREFIX}/${_libdir}")
    endif()
  endforeach()
  run(${PKG_CONFIG} --cflags --libs --static vorn)
  string(STRIP "${last_output}" _flags)
  separate_arguments(_flags UNIX_COMMAND "${_flags}")
  separate_arguments(_extra UNIX_COMMAND "${CXX_FLAGS}")
  run(${CXX_COMPILER} -std=c++17 ${_extra} "${SOURCE_DIR}/main.cpp" "${SOURCE_DIR}/interface.cpp" -o "${WORK_DIR}/pc_consumer"
      ${_flags} "-Wl,-rpath,${_found_libdir}")
  run("${WORK_DIR}/pc_consumer" "${TESTDATA_DIR}")
  if(NOT last_output MATCHES "vorn consumer ok")
    message(FATAL_ERROR "unexpected output: ${last_output}")
  endif()
endif()
