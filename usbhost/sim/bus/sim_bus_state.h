// What the virtual bus holds: controllers, hubs with their ports, devices,
// the interface order and the open handles. Only touched with `mutex` held.
#ifndef LX40_USBHOST_SIM_BUS_SIM_BUS_STATE_H
#define LX40_USBHOST_SIM_BUS_SIM_BUS_STATE_H

#include <array>
#include <chrono>
#include <functional>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bus/sim_bus.h"
#include "usb_topology.h"
#include "usbhost.h"

namespace usbsim {

using usbtopo::Controller;
using usbtopo::Hub;
using usbtopo::kControllerCount;
using usbtopo::Port;

// What the simulator keeps of a plugged device beyond its place in the
// topology: the details it was plugged with and its interface.
struct Attached {
  SimulatedDevice details;
  std::string interface_path;  // "" when the device has no pipes
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

// The topology (controllers, hubs, devices) that the hub driver's requests
// are answered from, and the simulator's own state beside it.
struct BusState : usbtopo::Topology {
  mutable std::mutex mutex;
  std::map<DeviceId, Attached> attached;  // one entry per entry of `devices`
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

// The meter interface's DevicePath (sim_names.cpp); `instance` is the device's serial number when
// it can stand in a path and no other device uses it.
std::string MeterInterfacePath(const SimulatedDevice& details, const std::string& instance);
std::string InstanceIdFromSerial(const std::u16string& serial);
std::string FallbackInstanceId(DeviceId device, int port);
using usbtopo::ExternalHubName;
using usbtopo::RootHubName;
using usbtopo::Utf16;

// What a plugged device, or an external hub, answers on its port.
std::shared_ptr<const usbtopo::PortAnswers> AnswersOf(const SimulatedDevice& details, bool is_hub);

}  // namespace usbsim

#endif
