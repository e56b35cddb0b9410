// The check of a sensor data table's bytes before a load (mlink_table_check
// and mlink_load_begin). Internal to the library.
#ifndef LX40_METERLINK_TABLE_CHECK_H
#define LX40_METERLINK_TABLE_CHECK_H

#include <cstddef>
#include <cstdint>

#include "mlink.h"

namespace meterlink {

// CRC-16/CCITT-FALSE (polynomial 0x1021, start 0xFFFF, no reflection, no
// final XOR) of `size` bytes.
uint16_t TableCrc(const uint8_t* data, std::size_t size);

// The checks of mlink_table_check on `size` bytes at `table` (not null).
int32_t CheckTable(const uint8_t* table, std::size_t size, mlink_table_info* info);

}  // namespace meterlink

#endif
