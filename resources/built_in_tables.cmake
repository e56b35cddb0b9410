# The two sensor data tables (made by tools/gen_sensor_tables and kept in
# this folder). Windows builds carry them as "BIN_FILE" resources of the
# executable; here they also become constant arrays in a static library,
# wizard_sensor_tables, for the native build and for tests. The source holding
# the bytes is generated at configure time and rewritten whenever a .bin
# file changes.
set(_sensor_table_ids 132 138)
set(_sensor_tables_src ${CMAKE_CURRENT_BINARY_DIR}/compiled_bin_files.cpp)

set(_arrays "")
set(_entries "")
foreach(_id IN LISTS _sensor_table_ids)
  set(_bin ${CMAKE_CURRENT_SOURCE_DIR}/sensor_data_${_id}.bin)
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
  string(APPEND _arrays "const uint8_t kSensorData${_id}[${_size}] = {\n    ${_bytes}\n};\n")
  string(APPEND _entries "    {${_id}, {kSensorData${_id}, sizeof kSensorData${_id}}},\n")
endforeach()
list(LENGTH _sensor_table_ids _count)

file(CONFIGURE OUTPUT ${_sensor_tables_src} @ONLY CONTENT [[
// Generated from wizard/resources/sensor_data_*.bin by sensor_tables.cmake.
#include "wizard/resources/compiled_bin_files.h"

namespace {
@_arrays@}  // namespace

const CompiledBinFile kCompiledBinFiles[] = {
@_entries@};
const size_t kCompiledBinFileCount = @_count@;
]])

add_library(wizard_sensor_tables STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/compiled_in_resources.cpp
  ${_sensor_tables_src})
lx40_target_defaults(wizard_sensor_tables)
target_include_directories(wizard_sensor_tables PUBLIC ${PROJECT_SOURCE_DIR})
# It implements the wizard core's ResourceSource: the dependency runs from the
# tables to the core, never back.
target_link_libraries(wizard_sensor_tables PUBLIC wizard_core)
