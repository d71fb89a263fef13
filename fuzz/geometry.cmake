# SPDX-License-Identifier: MIT
# The geometry targets: drawing and transforms against their plain twins
# and the properties the seeded tests prove. Their inputs are parameters,
# not files, so they start from (and, with the tests, replay) the seeds kept
# in seeds/geometry rather than the third-party images.
set(_geometry_seeds ${CMAKE_CURRENT_SOURCE_DIR}/seeds/geometry)
foreach(_geometry IN ITEMS polygon line ellipse warp rotate)
  set(_name vorn_fuzz_${_geometry})
  vorn_add_fuzzer(${_name} ${_geometry}_fuzzer.cpp)
  foreach(_program IN ITEMS ${_name}_replay ${_name})
    if(TARGET ${_program})
      target_include_directories(${_program} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
    endif()
  endforeach()
  file(APPEND ${CMAKE_CURRENT_BINARY_DIR}/${_name}.seeds "${_geometry_seeds}\n")
  if(VORN_BUILD_TESTS)
    add_test(NAME ${_name}_replay COMMAND ${_name}_replay ${_geometry_seeds})
  endif()
endforeach()
