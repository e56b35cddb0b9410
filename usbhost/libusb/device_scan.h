// The system's USB devices through libusb's device list, with what sysfs
// holds of each (descriptors, serial number, hub ports). No device is
// opened.
#ifndef LX40_USBHOST_LIBUSB_DEVICE_SCAN_H
#define LX40_USBHOST_LIBUSB_DEVICE_SCAN_H

#include <libusb.h>

#include <vector>

#include "found_device.h"

namespace usbhost_libusb {

std::vector<FoundDevice> ScanDevices(libusb_context* context);

// Fills descriptors, serial and child_ports of `device` from its sysfs
// folder /sys/bus/usb/devices/<kernel name>. Missing files leave the
// fields empty.
void ReadSysfsAttributes(FoundDevice& device);

}  // namespace usbhost_libusb

#endif
