// The system's USB devices at one moment, as the hub driver's topology
// (what Bulkpipe's walk asks) and as the list of meter interfaces (what
// the interface lookup and the pipes use).
//
// Linux numbers its buses from 1 with gaps; the walk visits the host
// controllers \\.\HCD0..9. The buses present are given dense controller
// numbers in bus order, so the first ten buses are walked whatever their
// numbers; a device on a further bus is not seen.
#ifndef LX40_USBHOST_LIBUSB_BUS_SNAPSHOT_H
#define LX40_USBHOST_LIBUSB_BUS_SNAPSHOT_H

#include <string>
#include <vector>

#include "found_device.h"
#include "usb_topology.h"

namespace usbhost_libusb {

struct MeterInterface {
  usbtopo::DeviceId device = 0;
  FoundDevice found;
  std::string path;      // the interface path: the device file, "/dev/bus/usb/BBB/DDD"
  std::string location;  // the kernel's name, "1-2.4"
};

struct BusSnapshot {
  usbtopo::Topology topology;
  std::vector<MeterInterface> meters;  // in bus order, then by address (plug order)
};

// Builds the snapshot of `devices` (in any order). A device whose parent hub
// is not among them, or whose port does not exist on it, is left out with
// everything below it; so is a bus beyond the tenth.
BusSnapshot BuildSnapshot(std::vector<FoundDevice> devices);

}  // namespace usbhost_libusb

#endif
