// What the virtual bus holds: controllers, hubs with their ports, devices,
// the interface order and the open handles. Only touched with `mutex` held.
#ifndef LX40_USBHOST_SIM_BUS_SIM_BUS_STATE_H
#define LX40_USBHOST_SIM_BUS_SIM_BUS_STATE_H

#include <array>
#include <chrono>
#include <functional>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "bus/sim_bus.h"
#include "usbhost.h"

namespace usbsim {

inline constexpr int kControllerCount = 10;

// Both 0: nothing on the port.
struct Port {
  NodeId hub = 0;
  DeviceId device = 0;
};

struct Controller {
  bool present = false;
  NodeId root_hub = 0;
  bool open_fails = false;
  bool root_name_fails = false;
};

struct Hub {
  NodeId parent = 0;  // 0 for a root hub
  int parent_port = 0;
  std::string name;  // as the hub driver reports it, without "\\.\"
  std::vector<Port> ports;
  SimulatedDevice identity;  // what an external hub answers on its parent's port
  uint16_t address = 0;
  bool open_fails = false;
  bool name_fails = false;
  bool node_info_fails = false;
};

struct Device {
  NodeId hub = 0;
  int port = 0;
  SimulatedDevice details;
  std::string interface_path;  // "" when the device has no pipes
  uint16_t address = 0;
};

enum class HandleKind { kController, kHub, kInterface, kPipe };

struct OpenHandle {
  HandleKind kind = HandleKind::kController;
  int controller = -1;
  NodeId hub = 0;
  DeviceId device = 0;
  int pipe = -1;
  uint32_t access = 0;
};

struct BusState {
  mutable std::mutex mutex;
  std::array<Controller, kControllerCount> controllers{};
  std::map<NodeId, Hub> hubs;
  std::map<DeviceId, Device> devices;
  std::vector<DeviceId> interface_order;  // plug order of devices with pipes
  std::map<usbhost_handle, OpenHandle> handles;
  std::multimap<std::chrono::steady_clock::time_point, std::function<void()>> changes;
  std::vector<uint8_t> request;  // the input of the IOCTL being answered
  // Ids, handles and addresses are never reused, not even after Reset, so a
  // stale one cannot reach something new.
  uint32_t next_id = 1;
  usbhost_handle next_handle = 0x100;
  uint16_t next_address = 1;
};

// Names of the things on the bus (sim_names.cpp).
std::string RootHubName(int controller);
std::string ExternalHubName(NodeId hub, int parent_port);
// The interface's DevicePath; `instance` is the device's serial number when
// it can stand in a path and no other device uses it.
std::string MeterInterfacePath(const SimulatedDevice& details, const std::string& instance);
std::string InstanceIdFromSerial(const std::u16string& serial);
std::string FallbackInstanceId(DeviceId device, int port);
std::vector<uint16_t> Utf16(const std::string& ascii);

// The hub driver's answers (sim_hub_driver.cpp). `in` has been copied, so
// `out` may be the caller's same buffer.
bool ControllerIoctl(const BusState& bus, int controller, uint32_t code,
                     const std::vector<uint8_t>& in, uint8_t* out, uint32_t out_size,
                     uint32_t* returned);
bool HubIoctl(const BusState& bus, NodeId hub, uint32_t code, const std::vector<uint8_t>& in,
              uint8_t* out, uint32_t out_size, uint32_t* returned);

}  // namespace usbsim

#endif
