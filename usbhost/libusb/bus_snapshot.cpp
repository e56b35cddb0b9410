#include "bus_snapshot.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "meter_identity.h"
#include "sysfs_answers.h"

namespace usbhost_libusb {
namespace {

// Bulkpipe's walk reads bNumberOfPorts, one byte.
constexpr int kMaxPorts = 255;

// Stable while the device stays plugged: its bus and address, never 0 (a
// device's address is 1 to 127).
uint32_t IdOf(const FoundDevice& device) {
  return (static_cast<uint32_t>(device.bus & 0xFFFF) << 8) |
         static_cast<uint32_t>(device.address & 0xFF);
}

bool IsMeter(const FoundDevice& device) {
  return VendorId(device) == bulkpipe::kMeterVendorId &&
         ProductId(device) == bulkpipe::kMeterProductId;
}

}  // namespace

BusSnapshot BuildSnapshot(std::vector<FoundDevice> devices) {
  // Parents before children; within a tier, by bus and port.
  std::sort(devices.begin(), devices.end(), [](const FoundDevice& a, const FoundDevice& b) {
    return std::make_tuple(a.bus, a.ports.size(), a.ports) <
           std::make_tuple(b.bus, b.ports.size(), b.ports);
  });
  BusSnapshot snapshot;
  usbtopo::Topology& topology = snapshot.topology;
  // Each hub by its place: bus and ports.
  std::map<std::pair<int, std::vector<int>>, usbtopo::NodeId> hubs;
  int next_controller = 0;
  for (const FoundDevice& device : devices) {
    if (device.address < 1 || device.address > 127) continue;
    const usbtopo::NodeId id = IdOf(device);
    if (device.ports.empty()) {
      if (next_controller >= usbtopo::kControllerCount) continue;
      if (hubs.count({device.bus, {}}) != 0) continue;  // a second root hub on one bus
      usbtopo::Hub root;
      root.name = usbtopo::RootHubName(next_controller);
      root.ports.resize(std::clamp(device.child_ports, 0, kMaxPorts));
      root.address = static_cast<uint16_t>(device.address);
      topology.hubs.emplace(id, std::move(root));
      usbtopo::Controller& controller = topology.controllers[next_controller++];
      controller.present = true;
      controller.root_hub = id;
      hubs[{device.bus, {}}] = id;
      continue;
    }
    std::vector<int> parent_ports(device.ports.begin(), device.ports.end() - 1);
    const auto parent = hubs.find({device.bus, parent_ports});
    if (parent == hubs.end()) continue;
    usbtopo::Hub& parent_hub = topology.hubs.at(parent->second);
    const int port = device.ports.back();
    if (port < 1 || port > static_cast<int>(parent_hub.ports.size())) continue;
    usbtopo::Port& slot = parent_hub.ports[port - 1];
    if (slot.hub != 0 || slot.device != 0) continue;
    if (IsHubClass(device)) {
      usbtopo::Hub hub;
      hub.parent = parent->second;
      hub.parent_port = port;
      hub.name = usbtopo::ExternalHubName(id, port);
      hub.ports.resize(std::clamp(device.child_ports, 0, kMaxPorts));
      hub.identity = SysfsAnswers(device);
      hub.address = static_cast<uint16_t>(device.address);
      slot.hub = id;
      topology.hubs.emplace(id, std::move(hub));
      hubs[{device.bus, device.ports}] = id;
      continue;
    }
    usbtopo::Device entry;
    entry.hub = parent->second;
    entry.port = port;
    entry.answers = SysfsAnswers(device);
    entry.address = static_cast<uint16_t>(device.address);
    slot.device = id;
    topology.devices.emplace(id, std::move(entry));
    if (IsMeter(device)) {
      snapshot.meters.push_back({id, device, DeviceNode(device), KernelName(device)});
    }
  }
  std::sort(snapshot.meters.begin(), snapshot.meters.end(),
            [](const MeterInterface& a, const MeterInterface& b) {
              return std::make_pair(a.found.bus, a.found.address) <
                     std::make_pair(b.found.bus, b.found.address);
            });
  return snapshot;
}

}  // namespace usbhost_libusb
