# The two built-in sensor data tables (made by tools/gen_sensor_tables and
# kept in tables/, one file per sensor type). Every program carries them:
# here they become constant arrays of the resources library, for lx40, the
# wizard's native build and the tests (the Windows wizard also carries them
# as "BIN_FILE" resources of its executable; python/setup.py copies the files
# into the Python package). The source holding the bytes is generated at
# configure time and rewritten whenever a .bin file changes.
#
# Sets LX40_BUILT_IN_TABLES_SOURCE (the generated source) and the global
# property LX40_BUILT_IN_TABLE_FILES (the .bin files, in the order the wizard
# writes them; the wizard's resource script depends on them).
set(LX40_BUILT_IN_TABLE_FILES
  ${CMAKE_CURRENT_LIST_DIR}/tables/sensor_table_8010.bin
  ${CMAKE_CURRENT_LIST_DIR}/tables/sensor_table_8011.bin)
set_property(GLOBAL PROPERTY LX40_BUILT_IN_TABLE_FILES ${LX40_BUILT_IN_TABLE_FILES})
set(LX40_BUILT_IN_TABLES_SOURCE ${CMAKE_CURRENT_BINARY_DIR}/compiled_tables.cpp)

set(_arrays "")
set(_entries "")
set(_index 0)
foreach(_bin IN LISTS LX40_BUILT_IN_TABLE_FILES)
  if(NOT EXISTS ${_bin})
    message(FATAL_ERROR "Missing sensor data table ${_bin} (run tools/gen_sensor_tables)")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_bin})
  file(READ ${_bin} _hex HEX)
  string(LENGTH "${_hex}" _hex_length)
  math(EXPR _size "${_hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," _bytes "${_hex}")
  # 16 bytes to a line keeps the generated file readable.
  string(REPEAT "0x..," 16 _line)
  string(REGEX REPLACE "(${_line})" "\\1\n    " _bytes "${_bytes}")
  string(APPEND _arrays "const uint8_t kTable${_index}[${_size}] = {\n    ${_bytes}\n};\n")
  string(APPEND _entries "    {kTable${_index}, sizeof kTable${_index}},\n")
  math(EXPR _index "${_index} + 1")
endforeach()

file(CONFIGURE OUTPUT ${LX40_BUILT_IN_TABLES_SOURCE} @ONLY CONTENT [[
// Generated from resources/tables/*.bin by built_in_tables.cmake.
#include "compiled_tables.h"

namespace {
@_arrays@}  // namespace

const std::span<const uint8_t> kCompiledTables[] = {
@_entries@};
const size_t kCompiledTableCount = @_index@;
]])
