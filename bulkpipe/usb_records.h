// The byte-packed records of the Windows USB hub driver that the hub walk
// exchanges through usbhost_ioctl: their sizes, the offsets of the fields we
// use, the request codes, and little-endian field access. The records are
// handled as plain bytes so that nothing depends on the compiler's packing
// or on the alignment of a buffer.
#ifndef LX40_BULKPIPE_USB_RECORDS_H
#define LX40_BULKPIPE_USB_RECORDS_H

#include <cstddef>
#include <cstdint>

namespace bulkpipe {

// Request codes (METHOD_BUFFERED, FILE_ANY_ACCESS, FILE_DEVICE_USB).
inline constexpr uint32_t kIoctlGetRootHubName = 0x220408;
inline constexpr uint32_t kIoctlGetNodeInformation = 0x220408;  // same code, sent to a hub
inline constexpr uint32_t kIoctlGetNodeConnectionInformation = 0x22040C;
inline constexpr uint32_t kIoctlGetDescriptorFromNodeConnection = 0x220410;
inline constexpr uint32_t kIoctlGetNodeConnectionName = 0x220414;

// USB_ROOT_HUB_NAME: ULONG ActualLength, WCHAR RootHubName[].
namespace root_hub_name {
inline constexpr uint32_t kSize = 6;
inline constexpr size_t kActualLength = 0;
inline constexpr uint32_t kName = 4;
}  // namespace root_hub_name

// USB_NODE_INFORMATION: ULONG NodeType, then USB_HUB_INFORMATION whose hub
// descriptor starts with bDescriptorLength, bDescriptorType, bNumberOfPorts.
namespace node_information {
inline constexpr uint32_t kSize = 76;
inline constexpr size_t kNumberOfPorts = 6;
}  // namespace node_information

// USB_NODE_CONNECTION_INFORMATION: ULONG ConnectionIndex, the 18-byte device
// descriptor, CurrentConfigurationValue, LowSpeed, DeviceIsHub,
// USHORT DeviceAddress, ULONG NumberOfOpenPipes, ULONG ConnectionStatus,
// then USB_PIPE_INFO entries of 11 bytes.
namespace connection_information {
inline constexpr uint32_t kFixedSize = 35;
inline constexpr uint32_t kPipeInfoSize = 11;
inline constexpr uint32_t kPipeRoom = 30;
inline constexpr uint32_t kSize = kFixedSize + kPipeRoom * kPipeInfoSize;  // 365
inline constexpr size_t kConnectionIndex = 0;
inline constexpr size_t kDeviceDescriptor = 4;
inline constexpr size_t kIdVendor = kDeviceDescriptor + 8;
inline constexpr size_t kIdProduct = kDeviceDescriptor + 10;
inline constexpr size_t kISerialNumber = kDeviceDescriptor + 16;
inline constexpr size_t kDeviceIsHub = 24;
inline constexpr size_t kConnectionStatus = 31;
inline constexpr uint32_t kDeviceConnected = 1;
}  // namespace connection_information

// USB_NODE_CONNECTION_NAME: ULONG ConnectionIndex, ULONG ActualLength,
// WCHAR NodeName[].
namespace connection_name {
inline constexpr uint32_t kSize = 10;
inline constexpr size_t kConnectionIndex = 0;
inline constexpr size_t kActualLength = 4;
inline constexpr uint32_t kName = 8;
}  // namespace connection_name

// USB_DESCRIPTOR_REQUEST: ULONG ConnectionIndex, the 8-byte setup packet
// (bmRequest, bRequest, wValue, wIndex, wLength), then the descriptor.
namespace descriptor_request {
inline constexpr uint32_t kHeaderSize = 12;
inline constexpr size_t kConnectionIndex = 0;
inline constexpr size_t kWValue = 6;
inline constexpr size_t kWIndex = 8;
inline constexpr size_t kWLength = 10;
}  // namespace descriptor_request

// Standard descriptors (USB 2.0 chapter 9).
namespace configuration_descriptor {
inline constexpr uint32_t kSize = 9;
inline constexpr size_t kWTotalLength = 2;
inline constexpr uint16_t kRequestValue = 0x0200;  // type 2, index 0
}  // namespace configuration_descriptor

namespace string_descriptor {
inline constexpr uint32_t kMaxSize = 255;
inline constexpr size_t kBLength = 0;
inline constexpr size_t kBDescriptorType = 1;
inline constexpr size_t kBString = 2;
inline constexpr uint8_t kType = 3;
inline constexpr uint16_t kRequestType = 0x0300;  // type 3 in the high byte
}  // namespace string_descriptor

inline uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

inline uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void WriteLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

inline void WriteLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace bulkpipe

#endif
