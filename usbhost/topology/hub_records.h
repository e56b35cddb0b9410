// The Windows USB hub driver's IOCTL codes and byte-packed records as the
// topology answers them: little-endian fields at fixed offsets. Written here
// from the published layouts, independent of any host-side packing.
#ifndef LX40_USBHOST_TOPOLOGY_HUB_RECORDS_H
#define LX40_USBHOST_TOPOLOGY_HUB_RECORDS_H

#include <cstdint>

namespace usbtopo::records {

// On a host controller the code 0x220408 reads the root hub's name; on a hub
// the same code reads the node information.
inline constexpr uint32_t kIoctlGetRootHubName = 0x220408;
inline constexpr uint32_t kIoctlGetNodeInformation = 0x220408;
inline constexpr uint32_t kIoctlGetNodeConnectionInformation = 0x22040C;
inline constexpr uint32_t kIoctlGetDescriptorFromNodeConnection = 0x220410;
inline constexpr uint32_t kIoctlGetNodeConnectionName = 0x220414;

// USB_ROOT_HUB_NAME: u32 ActualLength, WCHAR RootHubName[].
inline constexpr uint32_t kRootHubNameHeader = 4;
inline constexpr uint32_t kRootHubNameMinSize = 6;

// USB_NODE_INFORMATION: u32 NodeType, USB_HUB_DESCRIPTOR (71 bytes),
// u8 HubIsBusPowered.
inline constexpr uint32_t kNodeInformationSize = 76;
inline constexpr uint32_t kNodeTypeOffset = 0;
inline constexpr uint32_t kHubDescriptorOffset = 4;
inline constexpr uint32_t kHubIsBusPoweredOffset = 75;
inline constexpr uint32_t kNodeTypeUsbHub = 0;

// USB_NODE_CONNECTION_INFORMATION: the fixed part, then USB_PIPE_INFO
// entries (a 7-byte endpoint descriptor and a u32 ScheduleOffset).
inline constexpr uint32_t kConnectionInfoFixedSize = 35;
inline constexpr uint32_t kConnectionIndexOffset = 0;
inline constexpr uint32_t kDeviceDescriptorOffset = 4;
inline constexpr uint32_t kCurrentConfigurationOffset = 22;
inline constexpr uint32_t kLowSpeedOffset = 23;
inline constexpr uint32_t kDeviceIsHubOffset = 24;
inline constexpr uint32_t kDeviceAddressOffset = 25;
inline constexpr uint32_t kNumberOfOpenPipesOffset = 27;
inline constexpr uint32_t kConnectionStatusOffset = 31;
inline constexpr uint32_t kPipeInfoSize = 11;
inline constexpr uint32_t kDeviceDescriptorSize = 18;
inline constexpr uint32_t kEndpointDescriptorSize = 7;
inline constexpr uint32_t kNoDeviceConnected = 0;
inline constexpr uint32_t kDeviceConnected = 1;

// USB_NODE_CONNECTION_NAME: u32 ConnectionIndex, u32 ActualLength,
// WCHAR NodeName[].
inline constexpr uint32_t kConnectionNameHeader = 8;
inline constexpr uint32_t kConnectionNameMinSize = 10;
inline constexpr uint32_t kActualLengthOffset = 4;

// USB_DESCRIPTOR_REQUEST: u32 ConnectionIndex, then the setup packet
// (u8 bmRequest, u8 bRequest, u16 wValue, u16 wIndex, u16 wLength), then
// the descriptor data.
inline constexpr uint32_t kDescriptorRequestHeader = 12;
inline constexpr uint32_t kSetupValueOffset = 6;
inline constexpr uint32_t kSetupIndexOffset = 8;
inline constexpr uint32_t kSetupLengthOffset = 10;

inline uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace usbtopo::records

#endif
