#include "table_check.h"

namespace meterlink {
namespace {

uint16_t BigEndian16(const uint8_t* at) { return static_cast<uint16_t>((at[0] << 8) | at[1]); }

}  // namespace

uint16_t TableCrc(const uint8_t* data, std::size_t size) {
  uint16_t crc = 0xFFFF;
  for (std::size_t i = 0; i < size; ++i) {
    crc = static_cast<uint16_t>(crc ^ (data[i] << 8));
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x8000) != 0 ? static_cast<uint16_t>((crc << 1) ^ 0x1021)
                                : static_cast<uint16_t>(crc << 1);
    }
  }
  return crc;
}

int32_t CheckTable(const uint8_t* table, std::size_t size, mlink_table_info* info) {
  mlink_table_info out{};
  // The header fields, as far as the bytes reach.
  uint16_t* const fields[] = {&out.total_size,
                              &out.records,
                              &out.slot,
                              &out.type_code,
                              &out.header_wavelengths[0],
                              &out.header_wavelengths[1],
                              &out.header_wavelengths[2],
                              &out.header_wavelengths[3]};
  for (std::size_t i = 0; i < 8 && 2 * i + 2 <= size; ++i) *fields[i] = BigEndian16(table + 2 * i);

  const std::size_t frame = MLINK_TABLE_HEADER_SIZE + MLINK_TABLE_TRAILER_SIZE;
  int32_t result = MLINK_OK;
  if (size < frame || size > MLINK_TABLE_MAX_SIZE || out.total_size != size) {
    result = MLINK_ERR_TABLE_SIZE;
  } else if ((size - frame) % MLINK_TABLE_RECORD_SIZE != 0 ||
             out.records != (size - frame) / MLINK_TABLE_RECORD_SIZE || out.records == 0) {
    result = MLINK_ERR_TABLE_RECORDS;
  } else {
    uint16_t low = 0xFFFF;
    uint16_t high = 0;
    for (std::size_t r = 0; r < out.records; ++r) {
      const uint16_t wavelength =
          BigEndian16(table + MLINK_TABLE_HEADER_SIZE + r * MLINK_TABLE_RECORD_SIZE);
      if (wavelength < low) low = wavelength;
      if (wavelength > high) high = wavelength;
    }
    out.min_wavelength = low;
    out.max_wavelength = high;
    out.crc = BigEndian16(table + size - MLINK_TABLE_TRAILER_SIZE);
    if (out.slot >= MLINK_SLOT_COUNT) {
      result = MLINK_ERR_TABLE_SLOT;
    } else if (TableCrc(table, size - MLINK_TABLE_TRAILER_SIZE) != out.crc) {
      result = MLINK_ERR_TABLE_CRC;
    }
  }
  if (info != nullptr) *info = out;
  return result;
}

}  // namespace meterlink

extern "C" MLINK_API int32_t MLINK_CALL mlink_table_check(const void* table, size_t size,
                                                          mlink_table_info* info) {
  if (table == nullptr) return MLINK_BAD_ARGUMENT;
  return meterlink::CheckTable(static_cast<const uint8_t*>(table), size, info);
}
