// The built-in tables' bytes, in the order of LX40_BUILT_IN_TABLE_FILES.
// Their definition is generated at configure time from the .bin files (see
// built_in_tables.cmake).
#ifndef LX40_RESOURCES_COMPILED_TABLES_H
#define LX40_RESOURCES_COMPILED_TABLES_H

#include <cstddef>
#include <cstdint>
#include <span>

extern const std::span<const uint8_t> kCompiledTables[];
extern const size_t kCompiledTableCount;

#endif
