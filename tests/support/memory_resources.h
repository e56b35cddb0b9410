// "BIN_FILE" resources held in memory, for tests that want sensor data
// tables of their own (small ones, missing ones) instead of the built-in
// two.
#ifndef LX40_TESTS_SUPPORT_MEMORY_RESOURCES_H
#define LX40_TESTS_SUPPORT_MEMORY_RESOURCES_H

#include <cstdint>
#include <map>
#include <vector>

#include "resource_source.h"

class MemoryResources : public ResourceSource {
 public:
  void Put(uint16_t id, std::vector<uint8_t> bytes);
  void Remove(uint16_t id);
  BinFile FindBinFile(uint16_t id) override;

 private:
  std::map<uint16_t, std::vector<uint8_t>> m_files;
};

// A well-formed sensor data table: header (total size, record count, slot,
// type code, the first four record wavelengths), `recordCount` records from
// `firstWavelength` nm in 1 nm steps with coefficient 1.0, and the
// CRC-16/CCITT-FALSE trailer.
std::vector<uint8_t> MakeSensorTable(uint16_t slot, uint16_t typeCode, uint16_t recordCount,
                                     uint16_t firstWavelength = 400);

// Resources 132 and 138 holding two small tables: slot 1 code 8010, and
// slot 3 code 8011, like the built-in ones.
MemoryResources SmallSensorTables();

#endif
