// The two factory sensor data tables built into every program: sensor types
// 8010 and 8011, byte for byte the files in resources/tables, compiled in as
// constant data. The table format is mlink.h's ("Sensor data tables").
#ifndef LX40_RESOURCES_BUILT_IN_TABLES_H
#define LX40_RESOURCES_BUILT_IN_TABLES_H

#include <cstdint>
#include <span>

// The built-in table of sensor type `type_code` (read-only, valid for the
// life of the program); empty when no built-in table has that type.
std::span<const uint8_t> BuiltInTable(uint16_t type_code);

// Every built-in table, in the order the wizard writes them (8010 first).
std::span<const std::span<const uint8_t>> BuiltInTables();

#endif
