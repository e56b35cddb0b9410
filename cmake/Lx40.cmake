# Project-wide helpers: compiler settings every target of ours gets, and the
# test registration used by every test folder.

# Warnings as errors for our own code only (third-party code such as
# GoogleTest is built with its own settings). No include folder is added
# here: a target sees its own folder's headers and the public include
# folders of what it links, nothing else (see "Include fences" in README.md).
function(lx40_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror
    -Wshadow -Wconversion -Wno-sign-conversion)
  # GCC 12 at -O3 reports overlaps inside std::string that cannot happen
  # (GCC bug 105651); it broke the Windows Release builds.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()

# lx40_add_test(<name> SOURCES <files...> LIBS <targets...>)
# One test program, registered with ctest as one test. In a cross build ctest
# runs it through CMAKE_CROSSCOMPILING_EMULATOR (Wine).
# Every LIBS entry must be a target of this build: a missing one is a
# configure error, not a link error (or a test quietly built without it).
function(lx40_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  lx40_require_targets("test ${name}" ${T_LIBS})
  add_executable(${name} ${T_SOURCES})
  lx40_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()

# Windows DLLs carry our own names (Bulkpipe.dll, not libbulkpipe.dll).
function(lx40_dll_name target name)
  if(WIN32)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${name} PREFIX "" IMPORT_PREFIX "lib")
  endif()
endfunction()

# Ordinal-only import libraries and export/import checks (Windows builds).
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/Lx40Windows.cmake)
endif()

# lx40_require_targets(<who> <target>...): a configure error naming <who>
# when one of the targets is not part of this build.
function(lx40_require_targets who)
  foreach(_t IN LISTS ARGN)
    if(NOT TARGET ${_t})
      message(FATAL_ERROR "${who} needs ${_t}, which this configuration does not build")
    endif()
  endforeach()
endfunction()

# lx40_leave_out(<what> <why>): notes a program, library or test that this
# configuration does not build, on purpose. The list is printed at the end
# of the configure step (lx40_report_left_out).
function(lx40_leave_out what why)
  set_property(GLOBAL APPEND PROPERTY LX40_LEFT_OUT "${what} (${why})")
endfunction()

function(lx40_report_left_out)
  list(JOIN LX40_PARTS ", " _parts)
  message(STATUS "LX40: parts, from the bottom up: ${_parts} (usbhost: ${LX40_USBHOST})")
  get_property(_left_out GLOBAL PROPERTY LX40_LEFT_OUT)
  if(NOT _left_out)
    message(STATUS "LX40: everything is built")
    return()
  endif()
  message(STATUS "LX40: left out of this build:")
  foreach(_item IN LISTS _left_out)
    message(STATUS "  - ${_item}")
  endforeach()
endfunction()

# Adds every sub-folder of the calling folder, in name order: tests/, bench/
# and fuzz/ hold one folder per layer. A folder without a CMakeLists.txt is
# a configure error unless it is named in EXCEPT (folders added elsewhere).
# Folders named in FIRST come before the rest, so the libraries they define
# exist when the others ask for them.
function(lx40_add_subfolders)
  cmake_parse_arguments(SF "" "" "EXCEPT;FIRST" ${ARGN})
  file(GLOB _groups LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT _groups)
  list(REMOVE_ITEM _groups ${SF_FIRST})
  list(PREPEND _groups ${SF_FIRST})
  foreach(_g IN LISTS _groups)
    if(NOT IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${_g} OR _g IN_LIST SF_EXCEPT)
      continue()
    endif()
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_g}/CMakeLists.txt)
      message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}/${_g} has no CMakeLists.txt")
    endif()
    add_subdirectory(${_g})
  endforeach()
endfunction()

# True (in <out>) when this configuration builds the simulator, false after
# noting <what> as left out.
function(lx40_needs_simulator out what)
  if(LX40_USBHOST STREQUAL "sim")
    set(${out} TRUE PARENT_SCOPE)
  else()
    lx40_leave_out("${what}" "needs the simulator, LX40_USBHOST=${LX40_USBHOST}")
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# The include fences, checked when the build is generated: no target of this
# project may have the repository's root folder on its include path (a part
# sees its own folder and the public include folders of what it links, so a
# private header of another part cannot be reached by any spelling).
function(lx40_check_include_fences)
  set(_dirs ${PROJECT_SOURCE_DIR})
  set(_offenders "")
  while(_dirs)
    list(POP_FRONT _dirs _dir)
    get_property(_subdirs DIRECTORY ${_dir} PROPERTY SUBDIRECTORIES)
    list(APPEND _dirs ${_subdirs})
    get_property(_targets DIRECTORY ${_dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(_target IN LISTS _targets)
      foreach(_property INCLUDE_DIRECTORIES INTERFACE_INCLUDE_DIRECTORIES)
        get_target_property(_includes ${_target} ${_property})
        if(NOT _includes)
          continue()
        endif()
        foreach(_include IN LISTS _includes)
          string(REGEX REPLACE "/+$" "" _include "${_include}")
          if(_include STREQUAL PROJECT_SOURCE_DIR)
            list(APPEND _offenders "${_target} (${_property})")
          endif()
        endforeach()
      endforeach()
    endforeach()
  endwhile()
  if(_offenders)
    list(JOIN _offenders ", " _offenders)
    message(FATAL_ERROR "The repository root is on the include path of: ${_offenders}")
  endif()
  message(STATUS "LX40: include fences: no target has the repository root on its include path")
endfunction()
