// A USB topology as the Windows hub driver presents it: host controllers
// \\.\HCD0..9 with a root hub each, external hubs on ports, and devices that
// answer descriptor requests. Two implementations of the usbhost seam fill
// it: the simulator from its virtual bus, the libusb backend from the
// system's device list. Both answer the hub driver's requests that
// Bulkpipe's walk makes from it (hub_requests.cpp), so the records are laid
// out in one place.
//
// A Topology is plain data, guarded by its owner.
#ifndef LX40_USBHOST_TOPOLOGY_USB_TOPOLOGY_H
#define LX40_USBHOST_TOPOLOGY_USB_TOPOLOGY_H

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace usbtopo {

inline constexpr int kControllerCount = 10;

// Opaque ids of things in a topology; 0 is never a valid id.
using NodeId = uint32_t;    // a hub (root or external)
using DeviceId = uint32_t;  // a device that is not a hub

// What a device (or an external hub) on a port answers: its descriptors.
class PortAnswers {
 public:
  virtual ~PortAnswers() = default;
  // The 18-byte device descriptor.
  virtual std::vector<uint8_t> DeviceDescriptor() const = 0;
  // The endpoints of its interface as 7-byte endpoint descriptors (the pipes
  // the hub reports open).
  virtual std::vector<std::vector<uint8_t>> Endpoints() const = 0;
  // A GET_DESCRIPTOR request with the setup packet's wValue, wIndex and
  // wLength: fills `data` with at most min(wLength, room) bytes, or returns
  // false where the device stalls.
  virtual bool Answer(uint16_t value, uint16_t index, uint16_t length, uint32_t room,
                      std::vector<uint8_t>* data) const = 0;
  // The connection information request fails for this device.
  virtual bool ConnectionInfoFails() const { return false; }
};

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
  std::shared_ptr<const PortAnswers> identity;  // an external hub's answers on its parent's port
  uint16_t address = 0;
  bool open_fails = false;
  bool name_fails = false;
  bool node_info_fails = false;
};

struct Device {
  NodeId hub = 0;
  int port = 0;
  std::shared_ptr<const PortAnswers> answers;
  uint16_t address = 0;
};

struct Topology {
  std::array<Controller, kControllerCount> controllers{};
  std::map<NodeId, Hub> hubs;
  std::map<DeviceId, Device> devices;
};

// The hub driver's answers (hub_requests.cpp). `in` has been copied, so
// `out` may be the caller's same buffer. Each request is checked the way the
// driver checks it; a refused one fails.
bool ControllerIoctl(const Topology& topology, int controller, uint32_t code,
                     const std::vector<uint8_t>& in, uint8_t* out, uint32_t out_size,
                     uint32_t* returned);
bool HubIoctl(const Topology& topology, NodeId hub, uint32_t code, const std::vector<uint8_t>& in,
              uint8_t* out, uint32_t out_size, uint32_t* returned);

// Where `device` is plugged: its controller (-1 when its hubs do not lead
// to one) and the port numbers from the root hub down.
struct PortChain {
  int controller = -1;
  std::vector<int> ports;
};
PortChain ChainOf(const Topology& topology, DeviceId device);

// Names of hubs as the hub driver reports them (topology_names.cpp).
std::string RootHubName(int controller);
std::string ExternalHubName(NodeId hub, int parent_port);
std::vector<uint16_t> Utf16(const std::string& ascii);

}  // namespace usbtopo

#endif
