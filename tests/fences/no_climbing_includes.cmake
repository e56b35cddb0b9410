# cmake -DROOT=<repository> -P no_climbing_includes.cmake
# A quoted include is searched first beside the file that includes it, so
# `#include "../bulkpipe/hub_walk.h"` would reach another part's private
# header past every include path. No source of ours climbs out of its
# folder that way: any found fails the test, and each is named.
file(GLOB_RECURSE _sources ${ROOT}/*.h ${ROOT}/*.c ${ROOT}/*.cpp ${ROOT}/*.inc ${ROOT}/*.rc)
string(REGEX REPLACE "([][+.*()^$?|\\])" "\\\\\\1" _root "${ROOT}")
list(FILTER _sources EXCLUDE REGEX "^${_root}/(build|\\.git)/")
set(_found "")
foreach(_source IN LISTS _sources)
  file(STRINGS ${_source} _climbing REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]*\\.\\./")
  if(_climbing)
    file(RELATIVE_PATH _name ${ROOT} ${_source})
    list(APPEND _found "${_name}: ${_climbing}")
  endif()
endforeach()
if(_found)
  list(JOIN _found "\n  " _found)
  message(FATAL_ERROR "includes that climb out of their folder:\n  ${_found}")
endif()
message(STATUS "no include climbs out of its folder")
