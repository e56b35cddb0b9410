# Windows-only helpers: import libraries that bind by ordinal only, and tests
# that check a binary's export and import tables. Included by Lx40.cmake in
# Windows builds.
include_guard(GLOBAL)

# The binutils of the architecture being built (the toolchain file names
# it): an import library made for another machine type does not link, and
# objdump's listing differs between PE32 and PE32+.
if(NOT LX40_MINGW_TRIPLE)
  message(FATAL_ERROR "Lx40Windows: LX40_MINGW_TRIPLE is not set (use a cmake/mingw-w64-*.cmake toolchain)")
endif()
find_program(LX40_DLLTOOL NAMES ${LX40_MINGW_TRIPLE}-dlltool REQUIRED)
find_program(LX40_OBJDUMP NAMES ${LX40_MINGW_TRIPLE}-objdump REQUIRED)
# The PE file format objdump reports for every binary of this build.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(LX40_PE_FORMAT pei-x86-64)
else()
  set(LX40_PE_FORMAT pei-i386)
endif()

# lx40_ordinal_import(<target> DEF <file.def> DLL <Name.dll>)
#
# Makes an IMPORTED static library <target>: an import library, built with
# dlltool from <file.def>, through which a program or DLL linked against it
# imports the listed functions of <Name.dll> by ordinal only (its import
# table then names no function). Every export line of the .def must carry
# NONAME, for example:
#
#   EXPORTS
#       OpenUSBBulkFile @1 NONAME
#       CheckUSBDevices @2 NONAME
#
# The callers still declare the functions by name in C++; the names in the
# .def only tie each declaration to its ordinal. Link with
#   target_link_libraries(<importer> PRIVATE <target>)
# and add the DLL's own target as a dependency where it is built here, so it
# lands beside the importer.
function(lx40_ordinal_import target)
  cmake_parse_arguments(OI "" "DEF;DLL" "" ${ARGN})
  if(NOT OI_DEF OR NOT OI_DLL)
    message(FATAL_ERROR "lx40_ordinal_import(${target} DEF <file.def> DLL <Name.dll>)")
  endif()
  get_filename_component(_def "${OI_DEF}" ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  if(NOT EXISTS "${_def}")
    message(FATAL_ERROR "lx40_ordinal_import(${target}): ${_def} does not exist")
  endif()

  # A line without NONAME would make dlltool emit an import by name, and the
  # binding would silently depend on the name again.
  file(STRINGS "${_def}" _entries REGEX "@[ \t]*[0-9]+")
  if(NOT _entries)
    message(FATAL_ERROR "lx40_ordinal_import(${target}): ${_def} lists no ordinal")
  endif()
  foreach(_entry IN LISTS _entries)
    if(NOT _entry MATCHES "[ \t]NONAME([ \t;]|$)")
      message(FATAL_ERROR "lx40_ordinal_import(${target}): '${_entry}' in ${_def} lacks NONAME")
    endif()
  endforeach()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_def}")

  set(_lib "${CMAKE_CURRENT_BINARY_DIR}/lib${target}.a")
  add_custom_command(
    OUTPUT "${_lib}"
    COMMAND "${LX40_DLLTOOL}" -d "${_def}" -l "${_lib}" -D "${OI_DLL}"
    DEPENDS "${_def}"
    COMMENT "Ordinal-only import library for ${OI_DLL}"
    VERBATIM)
  add_custom_target(${target}_implib DEPENDS "${_lib}")

  add_library(${target} STATIC IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION "${_lib}")
  add_dependencies(${target} ${target}_implib)
endfunction()

# lx40_add_pe_check(<test-name> TARGET <target>
#                   [EXPORTS <Name@N>...] [EXACT_EXPORTS] [EXPORTS_DEF <file.def>]
#                   [IMPORTS_BY_ORDINAL <Dll.dll:1,18-26>...]
#                   [NO_IMPORTS_FROM <Dll.dll>...] [ALLOWED_IMPORTS <Dll.dll>...])
#
# A ctest test (run on the build machine, not under Wine, so it also checks
# binaries that cannot run here) that reads the export and import tables of
# <target>'s binary with objdump -p and fails unless the binary is of this
# build's machine type (LX40_PE_FORMAT), every exported name is undecorated,
# and:
#   EXPORTS             each Name is exported by name at ordinal N;
#   EXACT_EXPORTS       nothing else is exported;
#   EXPORTS_DEF         exactly the "Name @N" lines of the .def are exported;
#   IMPORTS_BY_ORDINAL  exactly these ordinals are imported from the DLL, all
#                       by ordinal only, none by name;
#   NO_IMPORTS_FROM     nothing is imported from that DLL;
#   ALLOWED_IMPORTS     nothing is imported from any other DLL.
# Wine loads a program even when an imported ordinal is missing from the DLL
# (the call crashes later), so this check is what catches a wrong binding.
# Example:
#   lx40_add_pe_check(meterlink_binding TARGET meterlink
#     IMPORTS_BY_ORDINAL Bulkpipe.dll:1,2)
function(lx40_add_pe_check name)
  cmake_parse_arguments(PE "EXACT_EXPORTS" "TARGET;EXPORTS_DEF"
    "EXPORTS;IMPORTS_BY_ORDINAL;NO_IMPORTS_FROM;ALLOWED_IMPORTS" ${ARGN})
  if(NOT PE_TARGET)
    message(FATAL_ERROR "lx40_add_pe_check(${name} TARGET <target> ...)")
  endif()
  list(JOIN PE_EXPORTS "|" _exports)
  list(JOIN PE_IMPORTS_BY_ORDINAL "|" _imports)
  list(JOIN PE_NO_IMPORTS_FROM "|" _forbidden)
  list(JOIN PE_ALLOWED_IMPORTS "|" _allowed)
  set(_def "")
  if(PE_EXPORTS_DEF)
    get_filename_component(_def "${PE_EXPORTS_DEF}" ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  set(_exact OFF)
  if(PE_EXACT_EXPORTS)
    set(_exact ON)
  endif()
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND}
      "-DOBJDUMP=${LX40_OBJDUMP}"
      "-DBINARY=$<TARGET_FILE:${PE_TARGET}>"
      "-DFORMAT=${LX40_PE_FORMAT}"
      "-DEXPORTS=${_exports}"
      "-DEXACT_EXPORTS=${_exact}"
      "-DEXPORTS_DEF=${_def}"
      "-DIMPORTS_BY_ORDINAL=${_imports}"
      "-DNO_IMPORTS_FROM=${_forbidden}"
      "-DALLOWED_IMPORTS=${_allowed}"
      -P "${PROJECT_SOURCE_DIR}/cmake/Lx40CheckPe.cmake")
  set_tests_properties(${name} PROPERTIES LABELS pe)
  lx40_pe_check_reads(${PE_TARGET})
endfunction()

# lx40_pe_check_reads(<target>...): a test of label "pe" reads these
# targets' binaries. Target pe_check_inputs builds every one of them, so
# that the PE checks can run in a build folder where nothing else was built
# (scripts/package-real, after a fresh clone).
function(lx40_pe_check_reads)
  if(NOT TARGET pe_check_inputs)
    add_custom_target(pe_check_inputs)
  endif()
  add_dependencies(pe_check_inputs ${ARGN})
endfunction()
