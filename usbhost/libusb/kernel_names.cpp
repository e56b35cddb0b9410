#include <cstdio>

#include "found_device.h"

namespace usbhost_libusb {

std::string KernelName(const FoundDevice& device) {
  if (device.ports.empty()) return "usb" + std::to_string(device.bus);
  std::string name = std::to_string(device.bus) + "-";
  for (size_t i = 0; i < device.ports.size(); ++i) {
    if (i != 0) name += ".";
    name += std::to_string(device.ports[i]);
  }
  return name;
}

std::string DeviceNode(const FoundDevice& device) {
  char node[32];
  std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", device.bus & 0xFFFF,
                device.address & 0xFFFF);
  return node;
}

}  // namespace usbhost_libusb
