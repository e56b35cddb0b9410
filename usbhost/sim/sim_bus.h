// The virtual USB bus behind usbhost/sim: host controllers \\.\HCD0..9, root
// and external hubs with ports, devices with their descriptors and strings,
// device interfaces of the meter's interface class, and pipe files
// "<interface path>\0" and "\1" connected to a PipeEndpoint.
//
// One bus per process (the usbhost C functions have no context argument).
// Tests build a topology through this API; every call is thread-safe, and a
// device can be plugged or unplugged at any moment, also while the host is
// walking the bus or talking on its pipes.
//
// The simulator is written from the wire alone and shares no code with
// Bulkpipe or Meterlink, so a host-side mistake is not mirrored here.
#ifndef LX40_USBHOST_SIM_SIM_BUS_H
#define LX40_USBHOST_SIM_SIM_BUS_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "usbhost/sim/pipe_endpoint.h"

namespace usbsim {

// Deliberate misbehaviour of one device's descriptor replies, so host code
// can be tested against lying hardware.
struct DescriptorFaults {
  bool connection_info_fails = false;      // IOCTL_USB_GET_NODE_CONNECTION_INFORMATION fails
  int config_total_length = -1;            // >= 0: wTotalLength reported by the 9-byte read
  bool config_second_read_short = false;   // the full read returns fewer bytes than asked
  bool config_second_length_differs = false;  // the full read reports another wTotalLength
  bool language_list_fails = false;        // string descriptor 0 cannot be read
  bool serial_string_fails = false;        // the serial-number string cannot be read
  bool string_odd_length = false;          // string replies carry an odd bLength
  bool string_wrong_type = false;          // string replies carry bDescriptorType != 3
  bool string_length_disagrees = false;    // bLength disagrees with the bytes returned
};

struct DeviceSpec {
  uint16_t vendor_id = 0x5A2D;
  uint16_t product_id = 0x3000;
  uint8_t serial_index = 3;                // iSerialNumber; 0: the device has none
  std::u16string serial;                   // text of the serial-number string descriptor
  std::vector<uint16_t> languages{0x0409}; // the language list (string descriptor 0)
  // Non-null: the device registers an interface of the meter's interface
  // class, whose pipes \0 and \1 are served by this endpoint.
  std::shared_ptr<PipeEndpoint> pipes;
  DescriptorFaults faults;
};

// Opaque ids of things on the bus; 0 is never a valid id.
using NodeId = uint32_t;    // a hub (root or external)
using DeviceId = uint32_t;  // a device that is not a hub

class Bus {
 public:
  static Bus& Instance();

  // Empties the bus: no controllers, no devices, all open handles invalid.
  void Reset();

  // A host controller \\.\HCD<number> (0..9) with a root hub of `ports`
  // ports. Returns the root hub's id.
  NodeId AddController(int number, int ports);
  // An external hub with `ports` ports on `port` (1-based) of `parent`.
  NodeId AddHub(NodeId parent, int port, int ports);
  // A device on `port` of `hub`. Plugging adds its meter interface (if it
  // has pipes) at the end of the interface enumeration order.
  DeviceId Plug(NodeId hub, int port, DeviceSpec spec);
  // Removes the device: its interface disappears and every open handle on
  // its interface or pipes fails from now on.
  void Unplug(DeviceId device);

  // Faults of the topology itself.
  void SetControllerOpenFails(int number, bool fails);
  void SetRootHubNameFails(int number, bool fails);
  void SetHubNameFails(NodeId hub, bool fails);   // the name query on its parent port
  void SetNodeInfoFails(NodeId hub, bool fails);

  // Handles opened through usbhost_open and not yet closed (leak checks).
  int OpenHandleCount() const;
  // The interface path of a plugged device with pipes ("" if none).
  std::string InterfacePath(DeviceId device) const;
};

}  // namespace usbsim

#endif
