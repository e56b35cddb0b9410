// What a device answers to the hub driver's descriptor requests, from what
// sysfs holds of it: its device and configuration descriptors as the kernel
// read them at enumeration, and its serial number string. Nothing is sent
// to the device, so a device the user may not open still answers.
#ifndef LX40_USBHOST_LIBUSB_SYSFS_ANSWERS_H
#define LX40_USBHOST_LIBUSB_SYSFS_ANSWERS_H

#include <memory>

#include "found_device.h"
#include "usb_topology.h"

namespace usbhost_libusb {

// The language the kernel reads strings in (US English): the one language
// a device answers for here.
inline constexpr uint16_t kStringLanguage = 0x0409;

std::shared_ptr<const usbtopo::PortAnswers> SysfsAnswers(const FoundDevice& device);

// The descriptors' fields this backend needs (0 when they are missing).
uint16_t VendorId(const FoundDevice& device);
uint16_t ProductId(const FoundDevice& device);
bool IsHubClass(const FoundDevice& device);

}  // namespace usbhost_libusb

#endif
