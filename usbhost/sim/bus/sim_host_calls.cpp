// The host's side of the bus: opening files by name, closing them, pipe I/O
// and hub IOCTLs on open handles, and the interface lookup. Requests are
// checked as the I/O manager and the drivers check them; pipe I/O reaches
// the device's endpoint outside the bus lock, since an endpoint may take its
// time or change the bus itself.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "bus/sim_bus.h"
#include "bus/sim_bus_state.h"

namespace usbsim {
namespace {

constexpr const char* kDevicePrefix = "\\\\.\\";

// Why this thread's last Open failed. Plain data: a thread-local object
// with a destructor in a DLL can stall thread exit with MinGW.
constexpr size_t kDeniedNodeCapacity = 1024;
thread_local uint32_t t_open_error = 0;
thread_local char t_denied_node[kDeniedNodeCapacity];

void NoteOpenDenied(const std::string& node) {
  t_open_error = USBHOST_OPEN_NO_PERMISSION;
  const size_t n = std::min(node.size(), kDeniedNodeCapacity - 1);
  std::memcpy(t_denied_node, node.data(), n);
  t_denied_node[n] = '\0';
}

usbhost_handle AddHandle(BusState& bus, const OpenHandle& entry) {
  const usbhost_handle h = bus.next_handle;
  bus.next_handle += 4;  // like Windows handles: multiples of 4, never -1
  bus.handles.emplace(h, entry);
  return h;
}

// The open handle `h` if it still names something on the bus.
const OpenHandle* LiveHandle(const BusState& bus, usbhost_handle h) {
  auto it = bus.handles.find(h);
  if (it == bus.handles.end()) return nullptr;
  const OpenHandle& entry = it->second;
  switch (entry.kind) {
    case HandleKind::kController:
      return bus.controllers[entry.controller].present ? &entry : nullptr;
    case HandleKind::kHub:
      return bus.hubs.count(entry.hub) != 0 ? &entry : nullptr;
    case HandleKind::kInterface:
    case HandleKind::kPipe:
      return bus.devices.count(entry.device) != 0 ? &entry : nullptr;
  }
  return nullptr;
}

bool OpenController(const BusState& bus, const std::string& path, OpenHandle* entry) {
  // "\\.\HCD<n>" with one digit n. Parsed, not compared with ten built
  // names: every discovery opens all ten.
  const std::string prefix = std::string(kDevicePrefix) + "HCD";
  if (path.size() != prefix.size() + 1 || path.compare(0, prefix.size(), prefix) != 0) {
    return false;
  }
  const char digit = path.back();
  if (digit < '0' || digit > '9') return false;
  const int n = digit - '0';
  const Controller& c = bus.controllers[n];
  if (!c.present || c.open_fails) return false;
  entry->kind = HandleKind::kController;
  entry->controller = n;
  return true;
}

bool OpenHub(const BusState& bus, const std::string& path, OpenHandle* entry) {
  const std::string prefix = kDevicePrefix;
  if (path.compare(0, prefix.size(), prefix) != 0) return false;
  const std::string name = path.substr(prefix.size());
  for (const auto& [id, hub] : bus.hubs) {
    if (hub.name != name) continue;
    if (hub.open_fails) return false;
    entry->kind = HandleKind::kHub;
    entry->hub = id;
    return true;
  }
  return false;
}

// "<interface path>" opens the interface itself, "<interface path>\0" and
// "\1" its two pipes; the driver serves no other file.
bool OpenInterfaceOrPipe(const BusState& bus, const std::string& path, OpenHandle* entry) {
  for (DeviceId id : bus.interface_order) {
    const std::string& base = bus.attached.at(id).interface_path;
    if (path.compare(0, base.size(), base) != 0) continue;
    const std::string suffix = path.substr(base.size());
    if (suffix.empty()) {
      entry->kind = HandleKind::kInterface;
      entry->device = id;
      return true;
    }
    if (suffix == "\\0" || suffix == "\\1") {
      entry->kind = HandleKind::kPipe;
      entry->device = id;
      entry->pipe = suffix[1] - '0';
      return true;
    }
  }
  return false;
}

// The endpoint behind pipe `pipe` of a live pipe handle opened with `access`.
std::shared_ptr<PipeEndpoint> PipeFor(const BusState& bus, usbhost_handle h, int pipe,
                                      uint32_t access) {
  const OpenHandle* entry = LiveHandle(bus, h);
  if (entry == nullptr || entry->kind != HandleKind::kPipe || entry->pipe != pipe ||
      (entry->access & access) == 0) {
    return nullptr;
  }
  return bus.attached.at(entry->device).details.pipes;
}

}  // namespace

usbhost_handle Bus::Open(const char* path, uint32_t access, uint32_t /*share*/) {
  if (path == nullptr) return USBHOST_INVALID;
  RunDueChanges();
  t_open_error = 0;
  t_denied_node[0] = '\0';
  const std::string name = path;
  std::lock_guard lock(state_->mutex);
  BusState& bus = *state_;
  OpenHandle entry;
  entry.access = access;
  if (OpenInterfaceOrPipe(bus, name, &entry)) {
    const Attached& device = bus.attached.at(entry.device);
    if (device.details.faults.open_denied) {
      NoteOpenDenied(device.interface_path);
      return USBHOST_INVALID;
    }
    return AddHandle(bus, entry);
  }
  if (OpenController(bus, name, &entry) || OpenHub(bus, name, &entry)) {
    return AddHandle(bus, entry);
  }
  return USBHOST_INVALID;
}

bool Bus::Close(usbhost_handle h) {
  std::lock_guard lock(state_->mutex);
  // A handle whose device is gone still closes.
  return state_->handles.erase(h) != 0;
}

bool Bus::Write(usbhost_handle h, const void* data, uint32_t size, uint32_t* done) {
  if (done == nullptr) return false;
  *done = 0;
  if (data == nullptr && size != 0) return false;
  std::shared_ptr<PipeEndpoint> endpoint;
  {
    std::lock_guard lock(state_->mutex);
    endpoint = PipeFor(*state_, h, 0, USBHOST_GENERIC_WRITE);
  }
  if (!endpoint || !endpoint->OnHostWrite(static_cast<const uint8_t*>(data), size)) return false;
  *done = size;
  return true;
}

bool Bus::Read(usbhost_handle h, void* data, uint32_t size, uint32_t* done) {
  if (done == nullptr) return false;
  *done = 0;
  if (data == nullptr && size != 0) return false;
  std::shared_ptr<PipeEndpoint> endpoint;
  {
    std::lock_guard lock(state_->mutex);
    endpoint = PipeFor(*state_, h, 1, USBHOST_GENERIC_READ);
  }
  uint32_t got = 0;
  if (!endpoint || !endpoint->OnHostRead(static_cast<uint8_t*>(data), size, &got)) return false;
  if (got > size) return false;  // an endpoint claiming more than the buffer holds
  *done = got;
  return true;
}

bool Bus::Ioctl(usbhost_handle h, uint32_t code, void* in, uint32_t in_size, void* out,
                uint32_t out_size, uint32_t* returned) {
  if (returned == nullptr) return false;
  *returned = 0;
  RunDueChanges();
  if ((in == nullptr && in_size != 0) || (out == nullptr && out_size != 0)) return false;
  auto* out_bytes = static_cast<uint8_t*>(out);
  std::lock_guard lock(state_->mutex);
  // The input is read in full before any output is written: callers pass
  // one buffer as both. The copy goes into the bus's own buffer, guarded by
  // the lock, whose capacity is kept: discovery sends many requests, each
  // with a buffer of up to a few KiB. (Not thread_local: a thread-local
  // object with a destructor in a DLL can stall thread exit with MinGW.)
  const auto* in_bytes = static_cast<const uint8_t*>(in);
  std::vector<uint8_t>& request = state_->request;
  request.assign(in_bytes, in_bytes + in_size);
  const OpenHandle* entry = LiveHandle(*state_, h);
  if (entry == nullptr) return false;
  switch (entry->kind) {
    case HandleKind::kController:
      return usbtopo::ControllerIoctl(*state_, entry->controller, code, request, out_bytes,
                                      out_size, returned);
    case HandleKind::kHub:
      return usbtopo::HubIoctl(*state_, entry->hub, code, request, out_bytes, out_size, returned);
    case HandleKind::kInterface:
    case HandleKind::kPipe:
      return false;
  }
  return false;
}

bool Bus::InterfacePathAt(const uint8_t guid[16], int32_t position, char* path, uint32_t size) {
  if (guid == nullptr || path == nullptr) return false;
  RunDueChanges();
  if (std::memcmp(guid, kMeterInterfaceGuid.data(), kMeterInterfaceGuid.size()) != 0) {
    return false;
  }
  std::lock_guard lock(state_->mutex);
  const BusState& bus = *state_;
  if (position < 0 || position >= static_cast<int64_t>(bus.interface_order.size())) return false;
  const std::string& found = bus.attached.at(bus.interface_order[position]).interface_path;
  if (found.size() + 1 > size) return false;
  std::memcpy(path, found.c_str(), found.size() + 1);
  return true;
}

}  // namespace usbsim

namespace usbsim {

bool Bus::InterfaceLocation(const char* path, char* port, uint32_t size, uint32_t* generation) {
  if (path == nullptr || port == nullptr || generation == nullptr) return false;
  RunDueChanges();
  std::lock_guard lock(state_->mutex);
  const BusState& bus = *state_;
  for (DeviceId id : bus.interface_order) {
    if (bus.attached.at(id).interface_path != path) continue;
    const usbtopo::PortChain chain = usbtopo::ChainOf(bus, id);
    if (chain.controller < 0) return false;
    std::string ports;
    for (const int p : chain.ports) ports += (ports.empty() ? "" : ".") + std::to_string(p);
    const std::string text = std::to_string(chain.controller + 1) + "-" + ports;
    if (text.size() + 1 > size) return false;
    std::memcpy(port, text.c_str(), text.size() + 1);
    *generation = id;
    return true;
  }
  return false;
}

}  // namespace usbsim

namespace usbsim {

uint32_t Bus::OpenError(char* node, uint32_t size) const {
  if (node != nullptr && size != 0) {
    const size_t n = std::min<size_t>(std::strlen(t_denied_node), size - 1);
    std::memcpy(node, t_denied_node, n);
    node[n] = '\0';
  }
  return t_open_error;
}

}  // namespace usbsim
