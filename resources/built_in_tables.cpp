#include "built_in_tables.h"

#include "compiled_tables.h"

namespace {

// A table's sensor type code: big-endian, at offset 6 of its header.
constexpr size_t kTypeCodeOffset = 6;

uint16_t TypeCode(std::span<const uint8_t> table) {
  if (table.size() < kTypeCodeOffset + 2) return 0;
  return static_cast<uint16_t>((table[kTypeCodeOffset] << 8) | table[kTypeCodeOffset + 1]);
}

}  // namespace

std::span<const uint8_t> BuiltInTable(uint16_t type_code) {
  for (const std::span<const uint8_t> table : BuiltInTables()) {
    if (TypeCode(table) == type_code) return table;
  }
  return {};
}

std::span<const std::span<const uint8_t>> BuiltInTables() {
  return {kCompiledTables, kCompiledTableCount};
}
