#include "memory_resources.h"

#include <bit>
#include <utility>

void MemoryResources::Put(uint16_t id, std::vector<uint8_t> bytes) {
  m_files[id] = std::move(bytes);
}

void MemoryResources::Remove(uint16_t id) { m_files.erase(id); }

BinFile MemoryResources::FindBinFile(uint16_t id) {
  const auto found = m_files.find(id);
  if (found == m_files.end()) return {};
  return {found->second.data(), found->second.size()};
}

namespace {

void PutU16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value & 0xFF));
}

uint16_t Crc16CcittFalse(const std::vector<uint8_t>& bytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t byte : bytes) {
    crc = static_cast<uint16_t>(crc ^ (byte << 8));
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<uint16_t>((crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
  }
  return crc;
}

}  // namespace

std::vector<uint8_t> MakeSensorTable(uint16_t slot, uint16_t typeCode, uint16_t recordCount,
                                     uint16_t firstWavelength) {
  std::vector<uint8_t> table;
  PutU16(table, static_cast<uint16_t>(16 + 6 * recordCount + 2));
  PutU16(table, recordCount);
  PutU16(table, slot);
  PutU16(table, typeCode);
  for (uint16_t i = 0; i < 4; ++i) {
    PutU16(table, static_cast<uint16_t>(firstWavelength + (i < recordCount ? i : 0)));
  }
  const uint32_t one = std::bit_cast<uint32_t>(1.0f);
  for (uint16_t i = 0; i < recordCount; ++i) {
    PutU16(table, static_cast<uint16_t>(firstWavelength + i));
    PutU16(table, static_cast<uint16_t>(one >> 16));
    PutU16(table, static_cast<uint16_t>(one & 0xFFFF));
  }
  PutU16(table, Crc16CcittFalse(table));
  return table;
}

MemoryResources SmallSensorTables() {
  MemoryResources resources;
  resources.Put(132, MakeSensorTable(1, 8010, 3, 633));
  resources.Put(138, MakeSensorTable(3, 8011, 2, 400));
  return resources;
}
