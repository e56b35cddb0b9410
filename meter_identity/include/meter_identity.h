// How an LX40 meter shows itself on the bus: its USB identifiers, and the
// device interface class under which the meter's driver registers it.
#ifndef LX40_METER_IDENTITY_H
#define LX40_METER_IDENTITY_H

#include <cstdint>

namespace bulkpipe {

inline constexpr uint16_t kMeterVendorId = 0x5A2D;
inline constexpr uint16_t kMeterProductId = 0x3000;

// {6B3E21D4-0A7C-4F58-B913-2E7D5C48A0F1} in the Windows GUID layout (first
// three fields little-endian).
inline constexpr uint8_t kMeterInterfaceGuid[16] = {0xD4, 0x21, 0x3E, 0x6B, 0x7C, 0x0A, 0x58, 0x4F,
                                                    0xB9, 0x13, 0x2E, 0x7D, 0x5C, 0x48, 0xA0, 0xF1};

}  // namespace bulkpipe

#endif
