// The two built-in sensor data tables, used in place from the program's
// resources. Table format (all fields big-endian):
//   0 total size, 2 record count, 4 slot, 6 sensor type code,
//   8 four header wavelengths, 16 records of (u16 nm, f32 coefficient),
//   then a CRC-16/CCITT-FALSE of everything before it.
#ifndef LX40_WIZARD_CORE_SENSOR_DATA_H
#define LX40_WIZARD_CORE_SENSOR_DATA_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "resource_source.h"

class CSensorData {
 public:
  static constexpr uint8_t kTableCount = 2;
  static constexpr uint16_t TableResourceIds[kTableCount] = {132, 138};

  explicit CSensorData(ResourceSource& source);

  // Loads table 0 then table 1; false at the first failure. No table is
  // selected afterwards: call Select first.
  bool LoadAll();
  // Finds, loads and locks the resource of table `index`. A resource whose
  // length does not match its own total size and record count is refused.
  bool LoadOne(uint8_t index);
  // Makes table `index` current; false (current unchanged) for index >= 2.
  bool Select(uint8_t index);
  // Steps to the other table: true (the new index, 1) from table 0; false
  // when wrapping from table 1 back to table 0.
  bool Next();
  // The current table's sensor type code in decimal.
  std::string TypeCodeText() const;

  // The current table and its header fields; null and 0 while the current
  // table is not loaded.
  const uint8_t* Table() const;
  uint16_t TotalSize() const;
  uint16_t RecordCount() const;
  uint16_t Slot() const;
  uint16_t TypeCode() const;

 private:
  uint16_t HeaderField(size_t offset) const;

  ResourceSource& m_source;
  uint8_t m_index = 0;
  const uint8_t* m_tables[kTableCount] = {nullptr, nullptr};
};

#endif
