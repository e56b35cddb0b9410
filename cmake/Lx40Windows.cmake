# Windows-only helpers: import libraries that bind by ordinal only, and tests
# that check a binary's export and import tables. Included by Lx40.cmake in
# Windows builds.
include_guard(GLOBAL)

find_program(LX40_DLLTOOL NAMES x86_64-w64-mingw32-dlltool REQUIRED)
find_program(LX40_OBJDUMP NAMES x86_64-w64-mingw32-objdump REQUIRED)

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
#                   [EXPORTS <Name@N>...] [EXACT_EXPORTS]
#                   [IMPORTS_BY_ORDINAL <Dll.dll:1,18-26>...]
#                   [NO_IMPORTS_FROM <Dll.dll>...])
#
# A ctest test (run on the build machine, not under Wine) that reads the
# export and import tables of <target>'s binary with objdump -p and fails
# unless:
#   EXPORTS             each Name is exported by name at ordinal N;
#   EXACT_EXPORTS       nothing else is exported;
#   IMPORTS_BY_ORDINAL  exactly these ordinals are imported from the DLL, all
#                       by ordinal only, none by name;
#   NO_IMPORTS_FROM     nothing is imported from that DLL.
# Wine loads a program even when an imported ordinal is missing from the DLL
# (the call crashes later), so this check is what catches a wrong binding.
# Example:
#   lx40_add_pe_check(meterlink_binding TARGET meterlink
#     IMPORTS_BY_ORDINAL Bulkpipe.dll:1,2)
function(lx40_add_pe_check name)
  cmake_parse_arguments(PE "EXACT_EXPORTS" "TARGET" "EXPORTS;IMPORTS_BY_ORDINAL;NO_IMPORTS_FROM" ${ARGN})
  if(NOT PE_TARGET)
    message(FATAL_ERROR "lx40_add_pe_check(${name} TARGET <target> ...)")
  endif()
  list(JOIN PE_EXPORTS "|" _exports)
  list(JOIN PE_IMPORTS_BY_ORDINAL "|" _imports)
  list(JOIN PE_NO_IMPORTS_FROM "|" _forbidden)
  set(_exact OFF)
  if(PE_EXACT_EXPORTS)
    set(_exact ON)
  endif()
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND}
      "-DOBJDUMP=${LX40_OBJDUMP}"
      "-DBINARY=$<TARGET_FILE:${PE_TARGET}>"
      "-DEXPORTS=${_exports}"
      "-DEXACT_EXPORTS=${_exact}"
      "-DIMPORTS_BY_ORDINAL=${_imports}"
      "-DNO_IMPORTS_FROM=${_forbidden}"
      -P "${PROJECT_SOURCE_DIR}/cmake/Lx40CheckPe.cmake")
endfunction()
