# Checks the version resource of a Windows binary, read back with windres:
#
#   cmake -DWINDRES=<windres> -DBINARY=<file> -DVERSION=a.b.c.d -P Lx40CheckVersion.cmake
#
# Both the file version and the product version must be VERSION, so a
# binary never carries a version other than the one it was meant to get.
cmake_minimum_required(VERSION 3.25)

foreach(_required IN ITEMS WINDRES BINARY VERSION)
  if(NOT DEFINED ${_required})
    message(FATAL_ERROR "Lx40CheckVersion: ${_required} is not set")
  endif()
endforeach()
execute_process(COMMAND "${WINDRES}" -i "${BINARY}" -J coff -O rc
  OUTPUT_VARIABLE _rc RESULT_VARIABLE _status ERROR_VARIABLE _err)
if(NOT _status EQUAL 0)
  message(FATAL_ERROR "Lx40CheckVersion: ${WINDRES} cannot read ${BINARY}: ${_err}")
endif()

set(_errors "")
foreach(_field IN ITEMS FILEVERSION PRODUCTVERSION)
  if(NOT _rc MATCHES "\n ${_field} ([0-9]+), ([0-9]+), ([0-9]+), ([0-9]+)")
    string(APPEND _errors "  no ${_field}\n")
    continue()
  endif()
  set(_have "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}.${CMAKE_MATCH_4}")
  if(NOT _have STREQUAL VERSION)
    string(APPEND _errors "  ${_field} ${_have}, expected ${VERSION}\n")
  endif()
endforeach()
if(NOT _errors STREQUAL "")
  message(FATAL_ERROR "Lx40CheckVersion: ${BINARY}:\n${_errors}")
endif()
message(STATUS "Lx40CheckVersion: ${BINARY}: version ${VERSION}")
