# cmake -DROOT=<repository> -P no_climbing_includes.cmake
# A quoted include is searched first beside the file that includes it, so
# `#include "../bulkpipe/hub_walk.h"` would reach another part's private
# header past every include path. No source of ours climbs out of its
# folder that way: any found fails the test, and each is named.
cmake_minimum_required(VERSION 3.25)  # GLOB_RECURSE then leaves symlinked folders alone
# Every folder of the repository but the build folders (which hold Wine
# prefixes, whose drive links lead to the whole file system) and git's.
file(GLOB _tops LIST_DIRECTORIES true RELATIVE ${ROOT} ${ROOT}/*)
list(REMOVE_ITEM _tops build .git)
set(_sources "")
foreach(_top IN LISTS _tops)
  if(IS_DIRECTORY ${ROOT}/${_top})
    file(GLOB_RECURSE _found_here ${ROOT}/${_top}/*.h ${ROOT}/${_top}/*.c ${ROOT}/${_top}/*.cpp
         ${ROOT}/${_top}/*.inc ${ROOT}/${_top}/*.rc)
    list(APPEND _sources ${_found_here})
  endif()
endforeach()
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
