#include "hub_walk.h"

#include <cstring>
#include <optional>

#include "byte_buffer.h"
#include "descriptor_reads.h"
#include "handle_guard.h"
#include "meter_identity.h"
#include "node_name.h"
#include "usb_records.h"

namespace bulkpipe {
namespace {

struct WalkContext {
  DiscoveryState& state;
  int devices_left;
};

void WalkHub(const char* name, int depth, WalkContext& walk);

// Reads the identity of the device on `port`, counts it when it is a meter
// and lists its serial number. `info` is the port's connection information.
void ExamineDevice(usbhost_handle hub, uint32_t port, const uint8_t* info, DiscoveryState& state) {
  if (!ReadConfigDescriptor(hub, port).ok()) return;

  const uint8_t serial_index = info[connection_information::kISerialNumber];
  if (serial_index == 0) return;

  const std::optional<StringDescriptor> languages = ReadStringDescriptor(hub, port, 0, 0);
  if (!languages) return;
  // The last language in which the string reads is the one that counts.
  std::optional<StringDescriptor> serial;
  for (size_t i = 0; i < languages->UnitCount(); ++i) {
    if (auto read = ReadStringDescriptor(hub, port, serial_index, languages->Unit(i))) {
      serial = read;
    }
  }

  if (ReadLe16(info + connection_information::kIdVendor) != kMeterVendorId ||
      ReadLe16(info + connection_information::kIdProduct) != kMeterProductId) {
    return;
  }
  ++state.meter_count;
  if (state.serials.collecting()) {
    char entry[kSerialEntryLength + 1];
    MakeSerialEntry(serial ? &*serial : nullptr, entry);
    state.serials.Append(entry);
  }
}

void VisitPort(usbhost_handle hub, uint32_t port, int depth, WalkContext& walk) {
  ByteBuffer info = ByteBuffer::Zeroed(connection_information::kSize);
  if (!info.ok()) return;
  WriteLe32(info.data() + connection_information::kConnectionIndex, port);
  uint32_t returned = 0;
  if (!usbhost_ioctl(hub, kIoctlGetNodeConnectionInformation, info.data(),
                     connection_information::kSize, info.data(), connection_information::kSize,
                     &returned) ||
      returned < connection_information::kFixedSize) {
    return;
  }
  const bool connected = ReadLe32(info.data() + connection_information::kConnectionStatus) ==
                         connection_information::kDeviceConnected;
  const bool is_hub = info.data()[connection_information::kDeviceIsHub] != 0;
  if (!connected && !is_hub) return;
  if (walk.devices_left <= 0) return;
  --walk.devices_left;

  if (connected) ExamineDevice(hub, port, info.data(), walk.state);

  // A hub, whatever its status: walk it now, so the order is pre-order.
  if (is_hub && depth < kMaxExternalHubDepth) {
    const ByteBuffer name = QueryPortHubName(hub, port);
    if (name.ok()) WalkHub(name.chars(), depth + 1, walk);
  }
}

// Opens "\\.\<name>" the way a host controller is opened. The built path
// is released before the walk goes on.
usbhost_handle OpenHub(const char* name) {
  static constexpr char kPrefix[] = "\\\\.\\";
  constexpr size_t kPrefixLength = sizeof kPrefix - 1;
  const size_t name_length = std::strlen(name);
  ByteBuffer path = ByteBuffer::Zeroed(name_length + kPrefixLength + 1);
  if (!path.ok()) return USBHOST_INVALID;
  std::memcpy(path.chars(), kPrefix, kPrefixLength);
  std::memcpy(path.chars() + kPrefixLength, name, name_length);
  return usbhost_open(path.chars(), USBHOST_GENERIC_WRITE, USBHOST_FILE_SHARE_WRITE);
}

void WalkHub(const char* name, int depth, WalkContext& walk) {
  const HandleGuard hub(OpenHub(name));
  if (!hub.valid()) return;

  uint8_t node[node_information::kSize] = {};
  uint32_t returned = 0;
  if (!usbhost_ioctl(hub.get(), kIoctlGetNodeInformation, node, sizeof node, node, sizeof node,
                     &returned) ||
      returned <= node_information::kNumberOfPorts) {
    return;
  }
  // bNumberOfPorts is 8-bit: at most 255 ports, and the counter is wider so
  // the loop ends.
  const uint32_t port_count = node[node_information::kNumberOfPorts];
  for (uint32_t port = 1; port <= port_count && walk.devices_left > 0; ++port) {
    VisitPort(hub.get(), port, depth, walk);
  }
}

}  // namespace

void WalkRootHub(const char* root_hub_name, DiscoveryState& state) {
  WalkContext walk{state, kMaxDevicesPerController};
  WalkHub(root_hub_name, 0, walk);
}

}  // namespace bulkpipe
