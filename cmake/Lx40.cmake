# Project-wide helpers: compiler settings every target of ours gets, and the
# test registration used by every test folder.

# Warnings as errors for our own code only (third-party code such as
# GoogleTest is built with its own settings).
function(lx40_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror
    -Wshadow -Wconversion -Wno-sign-conversion)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
  # GCC 12 at -O3 reports overlaps inside std::string that cannot happen
  # (GCC bug 105651); it broke the Windows Release builds.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()

# lx40_add_test(<name> SOURCES <files...> LIBS <targets...>)
# One test program, registered with ctest as one test. In a cross build ctest
# runs it through CMAKE_CROSSCOMPILING_EMULATOR (Wine).
function(lx40_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
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

# Adds every sub-folder of the calling folder that has a CMakeLists.txt, in
# name order: tests/, bench/ and fuzz/ hold one folder per layer.
function(lx40_add_subfolders)
  file(GLOB _groups LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
       ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT _groups)
  foreach(_g IN LISTS _groups)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_g}/CMakeLists.txt)
      add_subdirectory(${_g})
    endif()
  endforeach()
endfunction()
