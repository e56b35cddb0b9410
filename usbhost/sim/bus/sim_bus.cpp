// Building and changing the topology of the virtual bus.
#include "bus/sim_bus.h"

#include <algorithm>

#include "bus/sim_autoload.h"
#include "bus/sim_bus_state.h"

namespace usbsim {
namespace {

constexpr int kMaxPorts = 255;  // bNumberOfPorts is one byte

uint16_t NextAddress(BusState& bus) {
  const uint16_t address = bus.next_address;
  bus.next_address = static_cast<uint16_t>(address % 127 + 1);
  return address;
}

Port* FreePort(BusState& bus, NodeId hub, int port) {
  auto it = bus.hubs.find(hub);
  if (it == bus.hubs.end() || port < 1 || port > static_cast<int>(it->second.ports.size())) {
    return nullptr;
  }
  Port& p = it->second.ports[port - 1];
  return (p.hub == 0 && p.device == 0) ? &p : nullptr;
}

void RemoveDevice(BusState& bus, DeviceId device) {
  auto it = bus.devices.find(device);
  if (it == bus.devices.end()) return;
  auto hub = bus.hubs.find(it->second.hub);
  if (hub != bus.hubs.end()) hub->second.ports[it->second.port - 1] = Port{};
  bus.interface_order.erase(
      std::remove(bus.interface_order.begin(), bus.interface_order.end(), device),
      bus.interface_order.end());
  bus.devices.erase(it);
  bus.attached.erase(device);
}

void RemoveHub(BusState& bus, NodeId hub) {
  auto it = bus.hubs.find(hub);
  if (it == bus.hubs.end()) return;
  const std::vector<Port> ports = it->second.ports;
  for (const Port& p : ports) {
    if (p.device != 0) RemoveDevice(bus, p.device);
    if (p.hub != 0) RemoveHub(bus, p.hub);
  }
  it = bus.hubs.find(hub);
  auto parent = bus.hubs.find(it->second.parent);
  if (parent != bus.hubs.end()) parent->second.ports[it->second.parent_port - 1] = Port{};
  bus.hubs.erase(it);
}

bool InstanceInUse(const BusState& bus, const std::string& path) {
  for (DeviceId id : bus.interface_order) {
    if (bus.attached.at(id).interface_path == path) return true;
  }
  return false;
}

}  // namespace

Bus& Bus::Instance() {
  // Never destroyed: a meter or a test thread may still call in while the
  // process exits.
  static Bus* bus = new Bus;
  // A program that reaches the bus before any usbhost call builds it
  // itself; the automatic load must then leave it alone.
  NoteBusConfiguredByProgram();
  return *bus;
}

Bus::Bus() : state_(std::make_unique<BusState>()) {}
Bus::~Bus() = default;

void Bus::Reset() {
  std::lock_guard lock(state_->mutex);
  BusState& bus = *state_;
  bus.controllers = {};
  bus.hubs.clear();
  bus.devices.clear();
  bus.attached.clear();
  bus.interface_order.clear();
  bus.handles.clear();
  bus.changes.clear();
}

void Bus::ChangeAt(std::chrono::steady_clock::time_point when, std::function<void()> change) {
  std::lock_guard lock(state_->mutex);
  state_->changes.emplace(when, std::move(change));
}

void Bus::RunDueChanges() {
  std::vector<std::function<void()>> due;
  {
    std::lock_guard lock(state_->mutex);
    auto& changes = state_->changes;
    if (changes.empty()) return;
    const auto end = changes.upper_bound(std::chrono::steady_clock::now());
    for (auto it = changes.begin(); it != end; ++it) due.push_back(std::move(it->second));
    changes.erase(changes.begin(), end);
  }
  for (const auto& change : due) change();
}

NodeId Bus::AddController(int number, int ports) {
  std::lock_guard lock(state_->mutex);
  BusState& bus = *state_;
  if (number < 0 || number >= kControllerCount || ports < 0 || ports > kMaxPorts ||
      bus.controllers[number].present) {
    return 0;
  }
  const NodeId id = bus.next_id++;
  Hub hub;
  hub.name = RootHubName(number);
  hub.ports.resize(ports);
  bus.hubs.emplace(id, std::move(hub));
  Controller& c = bus.controllers[number];
  c = Controller{};
  c.present = true;
  c.root_hub = id;
  return id;
}

NodeId Bus::AddHub(NodeId parent, int port, int ports) {
  std::lock_guard lock(state_->mutex);
  BusState& bus = *state_;
  Port* slot = FreePort(bus, parent, port);
  if (slot == nullptr || ports < 0 || ports > kMaxPorts) return 0;
  const NodeId id = bus.next_id++;
  Hub hub;
  hub.parent = parent;
  hub.parent_port = port;
  hub.name = ExternalHubName(id, port);
  hub.ports.resize(ports);
  SimulatedDevice identity;
  identity.vendor_id = 0x05E3;
  identity.product_id = 0x0608;
  identity.serial_index = 0;
  hub.identity = AnswersOf(identity, true);
  hub.address = NextAddress(bus);
  bus.hubs.emplace(id, std::move(hub));
  slot->hub = id;
  return id;
}

DeviceId Bus::Plug(NodeId hub, int port, SimulatedDevice details) {
  std::lock_guard lock(state_->mutex);
  BusState& bus = *state_;
  Port* slot = FreePort(bus, hub, port);
  if (slot == nullptr) return 0;
  const DeviceId id = bus.next_id++;
  usbtopo::Device device;
  device.hub = hub;
  device.port = port;
  device.address = NextAddress(bus);
  device.answers = AnswersOf(details, false);
  Attached attached;
  if (details.pipes) {
    // Windows names the interface after the serial number; a device without
    // a usable one (or a second device with the same) gets a location id.
    const std::string serial_id = InstanceIdFromSerial(details.serial);
    std::string path = MeterInterfacePath(details, serial_id);
    if (serial_id.empty() || InstanceInUse(bus, path)) {
      path = MeterInterfacePath(details, FallbackInstanceId(id, port));
    }
    attached.interface_path = std::move(path);
    bus.interface_order.push_back(id);
  }
  attached.details = std::move(details);
  bus.devices.emplace(id, std::move(device));
  bus.attached.emplace(id, std::move(attached));
  slot->device = id;
  return id;
}

void Bus::Unplug(DeviceId device) {
  std::lock_guard lock(state_->mutex);
  RemoveDevice(*state_, device);
}

void Bus::UnplugHub(NodeId hub) {
  std::lock_guard lock(state_->mutex);
  auto it = state_->hubs.find(hub);
  if (it == state_->hubs.end() || it->second.parent == 0) return;  // root hubs stay
  RemoveHub(*state_, hub);
}

void Bus::SetControllerOpenFails(int number, bool fails) {
  std::lock_guard lock(state_->mutex);
  if (number >= 0 && number < kControllerCount) state_->controllers[number].open_fails = fails;
}

void Bus::SetRootHubNameFails(int number, bool fails) {
  std::lock_guard lock(state_->mutex);
  if (number >= 0 && number < kControllerCount) {
    state_->controllers[number].root_name_fails = fails;
  }
}

void Bus::SetHubNameFails(NodeId hub, bool fails) {
  std::lock_guard lock(state_->mutex);
  auto it = state_->hubs.find(hub);
  if (it != state_->hubs.end()) it->second.name_fails = fails;
}

void Bus::SetNodeInfoFails(NodeId hub, bool fails) {
  std::lock_guard lock(state_->mutex);
  auto it = state_->hubs.find(hub);
  if (it != state_->hubs.end()) it->second.node_info_fails = fails;
}

void Bus::SetHubOpenFails(NodeId hub, bool fails) {
  std::lock_guard lock(state_->mutex);
  auto it = state_->hubs.find(hub);
  if (it != state_->hubs.end()) it->second.open_fails = fails;
}

int Bus::OpenHandleCount() const {
  std::lock_guard lock(state_->mutex);
  return static_cast<int>(state_->handles.size());
}

std::string Bus::InterfacePath(DeviceId device) const {
  std::lock_guard lock(state_->mutex);
  auto it = state_->attached.find(device);
  return it == state_->attached.end() ? std::string() : it->second.interface_path;
}

std::string Bus::HubName(NodeId hub) const {
  std::lock_guard lock(state_->mutex);
  auto it = state_->hubs.find(hub);
  return it == state_->hubs.end() ? std::string() : it->second.name;
}

bool Bus::IsPlugged(DeviceId device) const {
  std::lock_guard lock(state_->mutex);
  return state_->devices.count(device) != 0;
}

int Bus::InterfaceCount() const {
  std::lock_guard lock(state_->mutex);
  return static_cast<int>(state_->interface_order.size());
}

}  // namespace usbsim
