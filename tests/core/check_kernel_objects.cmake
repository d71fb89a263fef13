# SPDX-License-Identifier: MIT
# The objects of an instruction-set kernel library define no weak function:
# an inline function or template instantiated there is compiled for that
# instruction set, and the linker may keep that copy for every caller,
# processors without the instruction set included.
#
#   cmake -DNM=<nm> -DOBJECTS=<object>|<object>... -P check_kernel_objects.cmake

string(REPLACE "|" ";" _objects "${OBJECTS}")
set(_found "")
foreach(_object IN LISTS _objects)
  execute_process(COMMAND ${NM} --defined-only --demangle ${_object}
    OUTPUT_VARIABLE _symbols RESULT_VARIABLE _status)
  if(NOT _status EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${_object}")
  endif()
  string(REPLACE "\n" ";" _lines "${_symbols}")
  foreach(_line IN LISTS _lines)
    if(_line MATCHES "^[0-9a-fA-F]* +[Wi] +(.*)$")
      get_filename_component(_name ${_object} NAME)
      string(APPEND _found "  ${_name}: ${CMAKE_MATCH_1}\n")
    endif()
  endforeach()
endforeach()
if(_found)
  message(FATAL_ERROR "weak functions in instruction-set objects:\n${_found}")
endif()
list(LENGTH _objects _count)
message(STATUS "${_count} objects without weak functions")
