// One USB device as the system lists it: where it is plugged, its address,
// and what sysfs holds of it. Filled by the device scan (device_scan.cpp)
// without opening the device, so a device the user may not open is still
// seen.
#ifndef LX40_USBHOST_LIBUSB_FOUND_DEVICE_H
#define LX40_USBHOST_LIBUSB_FOUND_DEVICE_H

#include <cstdint>
#include <string>
#include <vector>

namespace usbhost_libusb {

struct FoundDevice {
  int bus = 0;             // the Linux bus number (1, 2, ...)
  std::vector<int> ports;  // port numbers from the root hub down; empty for a root hub
  int address = 0;         // the device number on its bus, new on every enumeration
  // The device descriptor (18 bytes) followed by the configuration
  // descriptors, as sysfs "descriptors" holds them.
  std::vector<uint8_t> descriptors;
  std::string serial;   // sysfs "serial", UTF-8; "" when the device has none
  int child_ports = 0;  // sysfs "maxchild": the ports of a hub, 0 for other devices
};

// The kernel's name of the device: "usb<bus>" for a root hub, else the bus,
// a dash and the port numbers joined by dots ("1-2.4").
std::string KernelName(const FoundDevice& device);

// The device file, "/dev/bus/usb/BBB/DDD".
std::string DeviceNode(const FoundDevice& device);

}  // namespace usbhost_libusb

#endif
