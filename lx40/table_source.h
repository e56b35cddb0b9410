// The sensor data tables lx40 writes: the two built-in ones (the shared
// part's, the same bytes the wizard writes) or tables read from files.
// Every table is checked with mlink_table_check before any meter is
// touched.
#ifndef LX40_LX40_TABLE_SOURCE_H
#define LX40_LX40_TABLE_SOURCE_H

#include <cstdint>
#include <string>
#include <vector>

#include "mlink.h"

namespace lx40 {

struct SensorTable {
  std::string origin;  // the file it came from, or "built-in"
  std::vector<uint8_t> bytes;
  mlink_table_info info{};
  std::string sha256;  // of `bytes`, set by CheckTable
};

// The built-in tables, in the wizard's order (8010, then 8011).
std::vector<SensorTable> BuiltInSensorTables();

// The built-in table with that sensor type code; false when there is none.
bool FindBuiltInTable(uint16_t type_code, SensorTable* table);

// Reads a table file (at most MLINK_TABLE_MAX_SIZE bytes are accepted).
// False with `error` set when it cannot be read or is too large.
bool ReadTableFile(const std::string& path, SensorTable* table, std::string* error);

// mlink_table_check on the table's bytes, filling its info and its SHA-256.
int32_t CheckTable(SensorTable* table);

// Writes the bytes to a file, replacing it. False with `error` set.
bool WriteTableFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);

// The table's source as the record names it: "built-in", or the last part
// of the file's path, cut to kMaxSourceName characters, each byte that is
// not printable ASCII (and each quote and backslash, which JSON would
// double) shown as '?': the record line keeps its bound.
inline constexpr size_t kMaxSourceName = 40;
std::string SourceName(const SensorTable& table);

// The CRC as four upper-case hex digits, as the record writes it.
std::string CrcText(uint16_t crc);

}  // namespace lx40

#endif
