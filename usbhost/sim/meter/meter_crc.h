// The meter firmware's own CRC-16 over a received sensor data table:
// polynomial 0x1021, initial value 0xFFFF, no reflection, no final XOR
// (CRC-16/CCITT-FALSE; "123456789" gives 0x29B1).
#ifndef LX40_USBHOST_SIM_METER_METER_CRC_H
#define LX40_USBHOST_SIM_METER_METER_CRC_H

#include <cstddef>
#include <cstdint>

namespace usbsim {

inline constexpr uint16_t kMeterCrcInit = 0xFFFF;

// Folds `size` bytes into a running CRC (start with kMeterCrcInit).
uint16_t MeterCrcUpdate(uint16_t crc, const uint8_t* data, size_t size);

inline uint16_t MeterCrc(const uint8_t* data, size_t size) {
  return MeterCrcUpdate(kMeterCrcInit, data, size);
}

}  // namespace usbsim

#endif
