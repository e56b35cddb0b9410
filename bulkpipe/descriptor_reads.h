// Descriptors read from the device on a hub port through the hub driver
// (IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION). Every reply is checked
// against the bytes actually returned before any field of it is used.
#ifndef LX40_BULKPIPE_DESCRIPTOR_READS_H
#define LX40_BULKPIPE_DESCRIPTOR_READS_H

#include <cstddef>
#include <cstdint>
#include <optional>

#include "byte_buffer.h"
#include "usb_records.h"
#include "usbhost.h"

namespace bulkpipe {

// The request header and the full configuration descriptor, read in two
// steps (9 bytes for wTotalLength, then all of it). Not ok() when either
// read fails or the two reads disagree.
ByteBuffer ReadConfigDescriptor(usbhost_handle hub, uint32_t port);

// One string descriptor as the device returned it.
struct StringDescriptor {
  uint8_t index = 0;
  uint16_t language = 0;
  uint8_t length = 0;  // bLength: even, at least 2
  uint8_t bytes[string_descriptor::kMaxSize] = {};

  // The UTF-16 units of bString.
  size_t UnitCount() const { return (length - string_descriptor::kBString) / 2u; }
  uint16_t Unit(size_t i) const { return ReadLe16(bytes + string_descriptor::kBString + 2 * i); }
};

// String descriptor `index` in `language`. Empty unless the reply holds a
// whole descriptor of type 3 whose even bLength equals the bytes returned.
std::optional<StringDescriptor> ReadStringDescriptor(usbhost_handle hub, uint32_t port,
                                                     uint8_t index, uint16_t language);

}  // namespace bulkpipe

#endif
