#include "sensor_data.h"

namespace {

constexpr size_t kHeaderSize = 16;
constexpr size_t kRecordSize = 6;
constexpr size_t kTrailerSize = 2;

uint16_t ReadBe16(const uint8_t* bytes) {
  return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
}

// The run sends a table by its own header: the total size sizes the progress,
// the record count says how many 6-byte records follow the header. A table is
// used only when both agree with the resource's real length, so a damaged
// resource can never make the transfer read past its end.
bool WellFormed(const BinFile& file) {
  if (file.size < kHeaderSize + kTrailerSize) return false;
  const uint16_t totalSize = ReadBe16(file.data);
  const uint16_t records = ReadBe16(file.data + 2);
  return totalSize == file.size && records >= 1 &&
         kHeaderSize + kRecordSize * records + kTrailerSize == file.size;
}

}  // namespace

CSensorData::CSensorData(ResourceSource& source) : m_source(source) {}

bool CSensorData::LoadAll() {
  for (uint8_t index = 0; index < kTableCount; ++index) {
    if (!LoadOne(index)) return false;
  }
  return true;
}

bool CSensorData::LoadOne(uint8_t index) {
  if (index >= kTableCount) return false;
  const BinFile file = m_source.FindBinFile(TableResourceIds[index]);
  if (file.data == nullptr || !WellFormed(file)) return false;
  m_tables[index] = file.data;
  return true;
}

bool CSensorData::Select(uint8_t index) {
  if (index >= kTableCount) return false;
  m_index = index;
  return true;
}

bool CSensorData::Next() {
  m_index = static_cast<uint8_t>((m_index + 1) % kTableCount);
  return m_index != 0;
}

std::string CSensorData::TypeCodeText() const { return std::to_string(TypeCode()); }

const uint8_t* CSensorData::Table() const { return m_tables[m_index]; }

uint16_t CSensorData::HeaderField(size_t offset) const {
  const uint8_t* table = Table();
  return table != nullptr ? ReadBe16(table + offset) : 0;
}

uint16_t CSensorData::TotalSize() const { return HeaderField(0); }
uint16_t CSensorData::RecordCount() const { return HeaderField(2); }
uint16_t CSensorData::Slot() const { return HeaderField(4); }
uint16_t CSensorData::TypeCode() const { return HeaderField(6); }
