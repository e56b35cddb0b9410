// The standard USB descriptor codes and the string descriptor, as both the
// simulator's devices and the devices read from a real system answer the
// hub driver's descriptor requests with them.
#ifndef LX40_USBHOST_TOPOLOGY_USB_DESCRIPTORS_H
#define LX40_USBHOST_TOPOLOGY_USB_DESCRIPTORS_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "hub_records.h"

namespace usbtopo::descriptors {

inline constexpr uint8_t kTypeDevice = 1;
inline constexpr uint8_t kTypeConfiguration = 2;
inline constexpr uint8_t kTypeString = 3;
inline constexpr uint8_t kTypeInterface = 4;
inline constexpr uint8_t kTypeEndpoint = 5;
inline constexpr uint8_t kClassHub = 0x09;
inline constexpr uint8_t kConfigHeaderSize = 9;
// A string descriptor holds at most 126 UTF-16 units (bLength is one byte).
inline constexpr size_t kMaxStringUnits = 126;

// A string descriptor of `units`, cut to what bLength can say.
inline std::vector<uint8_t> StringDescriptor(const std::vector<uint16_t>& units) {
  const size_t n = std::min(units.size(), kMaxStringUnits);
  std::vector<uint8_t> d(2 + 2 * n);
  d[0] = static_cast<uint8_t>(d.size());
  d[1] = kTypeString;
  for (size_t i = 0; i < n; ++i) records::PutU16(&d[2 + 2 * i], units[i]);
  return d;
}

}  // namespace usbtopo::descriptors

#endif
