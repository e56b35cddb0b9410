# Checks the export and import tables of a Windows binary (.exe or .dll),
# read with MinGW-w64's objdump -p. Run in script mode by the tests that
# lx40_add_pe_check (Lx40Windows.cmake) registers:
#
#   cmake -DOBJDUMP=<objdump> -DBINARY=<file> [-DFORMAT=pei-i386|pei-x86-64]
#         [-DEXPORTS=Name@N|Name@N...] [-DEXACT_EXPORTS=ON] [-DEXPORTS_DEF=<file.def>]
#         [-DIMPORTS_BY_ORDINAL=Dll.dll:1,18-26|Other.dll:2...]
#         [-DNO_IMPORTS_FROM=Dll.dll|...] [-DALLOWED_IMPORTS=Dll.dll|...]
#         -P Lx40CheckPe.cmake
#
# Always: every exported name is plain (no _ or ? in front, no @ in it), as
# C callers and GetProcAddress look it up.
# FORMAT: objdump's file format, which says the machine type (x86 or x64).
# EXPORTS: each Name is exported by name with ordinal N.
# EXACT_EXPORTS: nothing else is exported (no other ordinal, no other name).
# EXPORTS_DEF: every "Name @N" line of the .def as EXPORTS, and EXACT_EXPORTS.
# IMPORTS_BY_ORDINAL: the binary imports exactly these ordinals from the DLL,
#   every one by ordinal only, and nothing from it by name.
# NO_IMPORTS_FROM: the binary does not import from that DLL at all.
# ALLOWED_IMPORTS: the binary imports from no DLL outside this list.
# Lists are separated by "|" so that they pass through -D unharmed.
cmake_minimum_required(VERSION 3.25)

foreach(_required IN ITEMS OBJDUMP BINARY)
  if(NOT DEFINED ${_required})
    message(FATAL_ERROR "Lx40CheckPe: ${_required} is not set")
  endif()
endforeach()
if(NOT EXISTS "${BINARY}")
  message(FATAL_ERROR "Lx40CheckPe: ${BINARY} does not exist")
endif()

execute_process(COMMAND "${OBJDUMP}" -p "${BINARY}"
  OUTPUT_VARIABLE _dump RESULT_VARIABLE _rc ERROR_VARIABLE _err)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "Lx40CheckPe: ${OBJDUMP} -p ${BINARY} failed: ${_err}")
endif()

# Lines one by one; a ";" inside a line would split it, and objdump writes none.
string(REPLACE "\n" ";" _lines "${_dump}")

set(_errors "")
macro(_fail text)
  string(APPEND _errors "  ${text}\n")
endmacro()

# --- Machine type -----------------------------------------------------------
if(FORMAT)
  if(NOT _dump MATCHES "file format ([A-Za-z0-9_-]+)")
    _fail("objdump names no file format")
  elseif(NOT CMAKE_MATCH_1 STREQUAL FORMAT)
    _fail("file format ${CMAKE_MATCH_1}, expected ${FORMAT}")
  endif()
endif()

# The exports a module-definition file gives: "Name @N" lines.
if(EXPORTS_DEF)
  if(NOT EXISTS "${EXPORTS_DEF}")
    message(FATAL_ERROR "Lx40CheckPe: ${EXPORTS_DEF} does not exist")
  endif()
  file(STRINGS "${EXPORTS_DEF}" _def_lines)
  foreach(_def_line IN LISTS _def_lines)
    string(REGEX REPLACE ";.*$" "" _def_line "${_def_line}")
    if(_def_line MATCHES "^[ \t]*([A-Za-z_][A-Za-z0-9_]*)[ \t]+@[ \t]*([0-9]+)")
      string(APPEND EXPORTS "|${CMAKE_MATCH_1}@${CMAKE_MATCH_2}")
    endif()
  endforeach()
  string(REGEX REPLACE "^\\|" "" EXPORTS "${EXPORTS}")
  if(EXPORTS STREQUAL "")
    message(FATAL_ERROR "Lx40CheckPe: ${EXPORTS_DEF} lists no export")
  endif()
  set(EXACT_EXPORTS ON)
endif()

# --- Exports --------------------------------------------------------------
# "Export Address Table -- Ordinal Base B" then "[ i] +base[ N] rva ..." for
# every ordinal N; "[Ordinal/Name Pointer] Table" then "[ i] Name" where i is
# the ordinal minus the base.
set(_base "")
set(_section "")
set(_export_ordinals "")
set(_export_names "")
foreach(_line IN LISTS _lines)
  if(_line MATCHES "Export Address Table -- Ordinal Base ([0-9]+)")
    set(_base ${CMAKE_MATCH_1})
    set(_section "addresses")
  elseif(_line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
    set(_section "names")
  elseif(_line MATCHES "^[ \t]*$")
    set(_section "")
  elseif(_section STREQUAL "addresses" AND _line MATCHES "\\+base\\[ *([0-9]+)\\]")
    list(APPEND _export_ordinals ${CMAKE_MATCH_1})
  elseif(_section STREQUAL "names" AND _line MATCHES "^[ \t]*\\[ *([0-9]+)\\] ([^ \t]+)")
    math(EXPR _ordinal "${CMAKE_MATCH_1} + ${_base}")
    list(APPEND _export_names "${CMAKE_MATCH_2}@${_ordinal}")
  endif()
endforeach()

# A decorated name (_Name, _Name@8 of __stdcall, ?Name@@... of C++) is not
# the name a caller asks for.
foreach(_have IN LISTS _export_names)
  string(REGEX REPLACE "@[0-9]+$" "" _name "${_have}")
  if(NOT _name MATCHES "^[A-Za-z][A-Za-z0-9_]*$")
    _fail("decorated export name ${_name}")
  endif()
endforeach()

string(REPLACE "|" ";" _want_exports "${EXPORTS}")
foreach(_want IN LISTS _want_exports)
  if(NOT _want MATCHES "^([A-Za-z_][A-Za-z0-9_]*)@([0-9]+)$")
    message(FATAL_ERROR "Lx40CheckPe: bad EXPORTS entry '${_want}' (Name@ordinal)")
  endif()
  set(_name ${CMAKE_MATCH_1})
  if(NOT _want IN_LIST _export_names)
    set(_found "")
    foreach(_have IN LISTS _export_names)
      if(_have MATCHES "^${_name}@")
        set(_found " (exported as ${_have})")
      endif()
    endforeach()
    _fail("export ${_want} missing${_found}")
  endif()
endforeach()

if(EXACT_EXPORTS)
  set(_want_ordinals "")
  foreach(_want IN LISTS _want_exports)
    string(REGEX REPLACE "^.*@" "" _ordinal "${_want}")
    list(APPEND _want_ordinals ${_ordinal})
  endforeach()
  foreach(_have IN LISTS _export_names)
    if(NOT _have IN_LIST _want_exports)
      _fail("unexpected export ${_have}")
    endif()
  endforeach()
  foreach(_ordinal IN LISTS _export_ordinals)
    if(NOT _ordinal IN_LIST _want_ordinals)
      _fail("unexpected export at ordinal ${_ordinal}")
    endif()
  endforeach()
endif()

# --- Imports --------------------------------------------------------------
# "DLL Name: X.dll", a header line, then one line per import: by name
# "<hint-table rva> <hint> <Name>", by ordinal "<8000...N> <N> <none>": the
# ordinal flag in the top bit of the first field (8 hex digits in a PE32
# file, 16 in a PE32+ file) and the ordinal in its low 16 bits.
set(_dll "")
set(_imports "")  # entries "dll|kind|value", dll in lower case
foreach(_line IN LISTS _lines)
  if(_line MATCHES "^[ \t]*DLL Name: (.+)$")
    string(TOLOWER "${CMAKE_MATCH_1}" _dll)
    string(STRIP "${_dll}" _dll)
  elseif(_line MATCHES "^[ \t]*$")
    set(_dll "")
  elseif(NOT _dll STREQUAL "" AND _line MATCHES "^[ \t]*([0-9a-fA-F]+)[ \t]+([0-9a-fA-F]+)[ \t]+([^ \t]+)")
    set(_first ${CMAKE_MATCH_1})
    set(_member ${CMAKE_MATCH_3})
    string(LENGTH "${_first}" _digits)
    if((_digits EQUAL 16 OR _digits EQUAL 8) AND _first MATCHES "^8" AND _member STREQUAL "<none>")
      math(EXPR _low_start "${_digits} - 4")
      string(SUBSTRING "${_first}" ${_low_start} 4 _low)
      math(EXPR _ordinal "0x${_low}" OUTPUT_FORMAT DECIMAL)
      list(APPEND _imports "${_dll}|ordinal|${_ordinal}")
    else()
      list(APPEND _imports "${_dll}|name|${_member}")
    endif()
  endif()
endforeach()

string(REPLACE "|" ";" _want_imports "${IMPORTS_BY_ORDINAL}")
foreach(_want IN LISTS _want_imports)
  if(NOT _want MATCHES "^([^:]+):([0-9,-]+)$")
    message(FATAL_ERROR "Lx40CheckPe: bad IMPORTS_BY_ORDINAL entry '${_want}' (Dll.dll:1,18-26)")
  endif()
  string(TOLOWER "${CMAKE_MATCH_1}" _want_dll)
  string(REPLACE "," ";" _parts "${CMAKE_MATCH_2}")
  set(_want_ordinals "")
  foreach(_part IN LISTS _parts)
    if(_part MATCHES "^([0-9]+)-([0-9]+)$")
      foreach(_n RANGE ${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
        list(APPEND _want_ordinals ${_n})
      endforeach()
    else()
      list(APPEND _want_ordinals ${_part})
    endif()
  endforeach()
  set(_have_ordinals "")
  foreach(_entry IN LISTS _imports)
    string(REPLACE "|" ";" _fields "${_entry}")
    list(GET _fields 0 _entry_dll)
    list(GET _fields 1 _kind)
    list(GET _fields 2 _value)
    if(_entry_dll STREQUAL _want_dll)
      if(_kind STREQUAL "name")
        _fail("${_want_dll}: ${_value} imported by name")
      else()
        list(APPEND _have_ordinals ${_value})
      endif()
    endif()
  endforeach()
  foreach(_n IN LISTS _want_ordinals)
    if(NOT _n IN_LIST _have_ordinals)
      _fail("${_want_dll}: ordinal ${_n} not imported")
    endif()
  endforeach()
  foreach(_n IN LISTS _have_ordinals)
    if(NOT _n IN_LIST _want_ordinals)
      _fail("${_want_dll}: unexpected import of ordinal ${_n}")
    endif()
  endforeach()
endforeach()

string(REPLACE "|" ";" _forbidden "${NO_IMPORTS_FROM}")
foreach(_dll_name IN LISTS _forbidden)
  string(TOLOWER "${_dll_name}" _dll_name)
  foreach(_entry IN LISTS _imports)
    if(_entry MATCHES "^([^|]+)\\|")
      if(CMAKE_MATCH_1 STREQUAL _dll_name)
        _fail("imports from ${_dll_name}: ${_entry}")
      endif()
    endif()
  endforeach()
endforeach()

if(ALLOWED_IMPORTS)
  string(TOLOWER "${ALLOWED_IMPORTS}" _allowed)
  string(REPLACE "|" ";" _allowed "${_allowed}")
  set(_seen "")
  foreach(_entry IN LISTS _imports)
    if(_entry MATCHES "^([^|]+)\\|" AND NOT CMAKE_MATCH_1 IN_LIST _allowed
       AND NOT CMAKE_MATCH_1 IN_LIST _seen)
      list(APPEND _seen ${CMAKE_MATCH_1})
      _fail("imports from ${CMAKE_MATCH_1}, which is not on the allowed list")
    endif()
  endforeach()
endif()

if(NOT _errors STREQUAL "")
  message(FATAL_ERROR "Lx40CheckPe: ${BINARY}:\n${_errors}")
endif()
message(STATUS "Lx40CheckPe: ${BINARY}: exports and imports as expected")
