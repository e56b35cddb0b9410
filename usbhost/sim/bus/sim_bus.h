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
#ifndef LX40_USBHOST_SIM_BUS_SIM_BUS_H
#define LX40_USBHOST_SIM_BUS_SIM_BUS_H

#include <array>
#include <chrono>
#include <functional>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bus/pipe_endpoint.h"
#include "usbhost.h"

namespace usbsim {

// Deliberate misbehaviour of one device's descriptor replies, so host code
// can be tested against lying hardware.
struct DescriptorFaults {
  bool connection_info_fails = false;         // IOCTL_USB_GET_NODE_CONNECTION_INFORMATION fails
  int config_total_length = -1;               // >= 0: wTotalLength reported by the 9-byte read
  bool config_second_read_short = false;      // the full read returns fewer bytes than asked
  bool config_second_length_differs = false;  // the full read reports another wTotalLength
  bool language_list_fails = false;           // string descriptor 0 cannot be read
  bool serial_string_fails = false;           // the serial-number string cannot be read
  bool string_odd_length = false;             // string replies carry an odd bLength
  bool string_wrong_type = false;             // string replies carry bDescriptorType != 3
  bool string_length_disagrees = false;       // bLength disagrees with the bytes returned
  // Opening the interface or a pipe fails as a device file this user may
  // not open does (usbhost_open_error names the interface path).
  bool open_denied = false;
};

struct SimulatedDevice {
  uint16_t vendor_id = 0x5A2D;
  uint16_t product_id = 0x3000;
  uint8_t serial_index = 3;                 // iSerialNumber; 0: the device has none
  std::u16string serial;                    // text of the serial-number string descriptor
  std::vector<uint16_t> languages{0x0409};  // the language list (string descriptor 0)
  // Non-null: the device registers an interface of the meter's interface
  // class, whose pipes \0 and \1 are served by this endpoint.
  std::shared_ptr<PipeEndpoint> pipes;
  DescriptorFaults faults;
};

// Opaque ids of things on the bus; 0 is never a valid id.
using NodeId = uint32_t;    // a hub (root or external)
using DeviceId = uint32_t;  // a device that is not a hub

struct BusState;

class Bus {
 public:
  // The meter's device interface class, in the Windows GUID byte layout.
  static constexpr std::array<uint8_t, 16> kMeterInterfaceGuid{0xD4, 0x21, 0x3E, 0x6B, 0x7C, 0x0A,
                                                               0x58, 0x4F, 0xB9, 0x13, 0x2E, 0x7D,
                                                               0x5C, 0x48, 0xA0, 0xF1};

  static Bus& Instance();

  Bus(const Bus&) = delete;
  Bus& operator=(const Bus&) = delete;

  // Empties the bus: no controllers, no devices, all open handles invalid.
  void Reset();

  // A host controller \\.\HCD<number> (0..9) with a root hub of `ports`
  // ports. Returns the root hub's id.
  NodeId AddController(int number, int ports);
  // An external hub with `ports` ports on `port` (1-based) of `parent`.
  NodeId AddHub(NodeId parent, int port, int ports);
  // A device on `port` of `hub`. Plugging adds its meter interface (if it
  // has pipes) at the end of the interface enumeration order.
  DeviceId Plug(NodeId hub, int port, SimulatedDevice details);
  // Removes the device: its interface disappears and every open handle on
  // its interface or pipes fails from now on.
  void Unplug(DeviceId device);

  // AddController, AddHub and Plug return 0 when the place does not exist or
  // is taken (controller number in use, port occupied, out of range).

  // Faults of the topology itself.
  void SetControllerOpenFails(int number, bool fails);
  void SetRootHubNameFails(int number, bool fails);
  void SetHubNameFails(NodeId hub, bool fails);  // the name query on its parent port
  void SetNodeInfoFails(NodeId hub, bool fails);

  // A change of the bus (say, plugging a meter back in) carried out by the
  // first host call (open, IOCTL, interface lookup) at or after `when`, on
  // that call's thread and before it is served, outside the bus lock. No
  // thread waits for it meanwhile; Reset drops what has not happened yet.
  void ChangeAt(std::chrono::steady_clock::time_point when, std::function<void()> change);

  // Handles opened through usbhost_open and not yet closed (leak checks).
  int OpenHandleCount() const;
  // The interface path of a plugged device with pipes ("" if none).
  std::string InterfacePath(DeviceId device) const;

  // Removes an external hub with everything below it, as Unplug does for
  // each device there; open handles on the hub fail from now on. Root hubs
  // stay until Reset.
  void UnplugHub(NodeId hub);
  // Opening the hub "\\.\<name>" fails (the hub's driver refuses it).
  void SetHubOpenFails(NodeId hub, bool fails);
  // The hub's name as the hub driver reports it, without "\\.\" ("" if
  // there is no such hub).
  std::string HubName(NodeId hub) const;
  // Whether the device is on the bus (plugged and not unplugged since).
  bool IsPlugged(DeviceId device) const;
  // Number of present interfaces of the meter's interface class.
  int InterfaceCount() const;

  // The host side: the usbhost C functions forward here, with the same
  // arguments and results (true for 1). As on Windows, writing needs a
  // handle opened with GENERIC_WRITE and reading one with GENERIC_READ.
  usbhost_handle Open(const char* path, uint32_t access, uint32_t share);
  bool Close(usbhost_handle h);
  bool Write(usbhost_handle h, const void* data, uint32_t size, uint32_t* done);
  bool Read(usbhost_handle h, void* data, uint32_t size, uint32_t* done);
  bool Ioctl(usbhost_handle h, uint32_t code, void* in, uint32_t in_size, void* out,
             uint32_t out_size, uint32_t* returned);
  bool InterfacePathAt(const uint8_t guid[16], int32_t position, char* path, uint32_t size);
  // usbhost_interface_location: "<controller + 1>-<port>.<port>..." and the
  // device's id as its plug generation.
  bool InterfaceLocation(const char* path, char* port, uint32_t size, uint32_t* generation);
  // usbhost_open_error: why this thread's last Open failed.
  uint32_t OpenError(char* node, uint32_t size) const;

 private:
  Bus();
  ~Bus();

  // Runs the scheduled changes that are due.
  void RunDueChanges();

  // Everything on the bus, guarded by its own mutex.
  std::unique_ptr<BusState> state_;
};

}  // namespace usbsim

#endif
