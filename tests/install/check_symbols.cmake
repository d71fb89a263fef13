# SPDX-License-Identifier: MIT
# Lists the dynamic symbols that an installed libvorn.so defines
# (nm -D --defined-only, names demangled) and fails on any name
# outside the library's interface:
#   - members of VornBuffer, anything in namespace vorn, vornVersion(),
#     RGBtoHLS and HLStoRGB, and the typeinfo and vtable of those classes;
#   - weak instances of standard-library templates (std::, __gnu_cxx::),
#     which the compiler emits where the public headers use them;
#   - where the installed headers include the GDI interop (vorn/gdi.h), the
#     names it declares and CDCBuffer; with the in-memory GDI installed
#     (vorn/platform/gdi.h, VORN_WITH_GDI_STANDIN), the names that declares.
# It also fails when vornVersion() or VornBuffer::Build is missing, so that
# a library that exports nothing cannot pass.
#
#   cmake -DPREFIX=<installed tree> [-DNM=nm] -P check_symbols.cmake

if(NOT NM)
  set(NM nm)
endif()

file(GLOB _libraries "${PREFIX}/lib*/libvorn.so" "${PREFIX}/lib*/*/libvorn.so")
list(LENGTH _libraries _count)
if(NOT _count EQUAL 1)
  message(FATAL_ERROR "expected one libvorn.so under ${PREFIX}, found: ${_libraries}")
endif()

# nm -p keeps the symbol table's order, so the mangled and the demangled
# listing match line by line.
function(list_symbols out)
  execute_process(COMMAND ${NM} -D --defined-only -p ${ARGN} "${_libraries}"
    RESULT_VARIABLE _result OUTPUT_VARIABLE _nm ERROR_VARIABLE _error)
  if(NOT _result EQUAL 0)
    message(FATAL_ERROR "${NM} failed: ${_error}")
  endif()
  string(REGEX REPLACE "\n$" "" _nm "${_nm}")
  string(REPLACE ";" "\\;" _nm "${_nm}")
  string(REPLACE "\n" ";" _nm "${_nm}")
  set(${out} "${_nm}" PARENT_SCOPE)
endfunction()
list_symbols(_raw_lines)
list_symbols(_demangled_lines -C)

set(_classes "VornBuffer|vorn::")
set(_allowed
  "^VornBuffer::"
  "^vorn::"
  "^vornVersion\\(\\)$"
  "^RGBtoHLS\\(_VORNRGBAQUAD\\)$"
  "^HLStoRGB\\(_VORNHLSAQUAD\\)$")

# The GDI names: the functions the installed headers declare with VORN_API.
foreach(_header vorn/gdi.h vorn/platform/gdi.h)
  if(NOT EXISTS "${PREFIX}/include/${_header}")
    continue()
  endif()
  file(STRINGS "${PREFIX}/include/${_header}" _declarations REGEX "^VORN_API ")
  foreach(_declaration IN LISTS _declarations)
    if(_declaration MATCHES "([A-Za-z_][A-Za-z0-9_]*)\\(")
      list(APPEND _allowed "^${CMAKE_MATCH_1}(\\(|$)")
    endif()
  endforeach()
  if(_header STREQUAL "vorn/gdi.h")
    list(APPEND _allowed "^CDCBuffer::")
    string(APPEND _classes "|CDCBuffer")
  endif()
endforeach()
list(APPEND _allowed "^(typeinfo name|typeinfo|vtable|VTT) for (${_classes})")

# Weak (W, V, u) instances of standard templates, by their mangled names:
# std:: is N?K?St or one of the abbreviations Sa Sb Ss Si So Sd; a local
# static of a standard function (Z, with its guard GVZ) counts too, such as
# the digit table std::to_string shares.
set(_weak_std "^_Z(T[ISVT]|GV)?Z?N?K?(S[tabsiod]|9__gnu_cxx)")

set(_bad)
set(_have_version OFF)
set(_have_build OFF)
list(LENGTH _raw_lines _total)
math(EXPR _last "${_total} - 1")
foreach(_i RANGE ${_last})
  list(GET _raw_lines ${_i} _line)
  if(NOT _line MATCHES "^[0-9a-fA-F]* ([A-Za-z]) (.+)$")
    message(FATAL_ERROR "unexpected nm line: ${_line}")
  endif()
  set(_kind ${CMAKE_MATCH_1})
  set(_raw "${CMAKE_MATCH_2}")
  list(GET _demangled_lines ${_i} _line)
  string(REGEX REPLACE "^[0-9a-fA-F]* [A-Za-z] " "" _name "${_line}")
  set(_ok OFF)
  foreach(_pattern IN LISTS _allowed)
    if(_name MATCHES "${_pattern}")
      set(_ok ON)
      break()
    endif()
  endforeach()
  if(NOT _ok AND _kind MATCHES "^[WVu]$" AND _raw MATCHES "${_weak_std}")
    set(_ok ON)
  endif()
  if(NOT _ok)
    list(APPEND _bad "${_kind} ${_name}")
  endif()
  if(_name STREQUAL "vornVersion()")
    set(_have_version ON)
  endif()
  if(_name MATCHES "^VornBuffer::Build\\(")
    set(_have_build ON)
  endif()
endforeach()

if(_bad)
  list(LENGTH _bad _bad_count)
  string(REPLACE ";" "\n  " _bad "${_bad}")
  message(FATAL_ERROR "${_libraries} exports ${_bad_count} of ${_total} names outside "
    "its interface:\n  ${_bad}")
endif()
if(NOT _have_version OR NOT _have_build)
  message(FATAL_ERROR "${_libraries} lacks vornVersion() or VornBuffer::Build")
endif()
message(STATUS "${_libraries}: ${_total} names, all in the interface")
