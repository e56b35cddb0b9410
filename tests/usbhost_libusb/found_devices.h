// Devices as the scan finds them, built from their descriptors: a root hub,
// an external hub, a meter, another device.
#ifndef LX40_TESTS_USBHOST_LIBUSB_FOUND_DEVICES_H
#define LX40_TESTS_USBHOST_LIBUSB_FOUND_DEVICES_H

#include <string>
#include <vector>

#include "found_device.h"
#include "meter_identity.h"

namespace libusb_test {

inline std::vector<uint8_t> Descriptors(uint16_t vendor, uint16_t product, uint8_t device_class,
                                        uint8_t serial_index) {
  std::vector<uint8_t> d{18,
                         1,
                         0x00,
                         0x02,
                         device_class,
                         0,
                         0,
                         64,
                         static_cast<uint8_t>(vendor),
                         static_cast<uint8_t>(vendor >> 8),
                         static_cast<uint8_t>(product),
                         static_cast<uint8_t>(product >> 8),
                         0x00,
                         0x01,
                         0,
                         0,
                         serial_index,
                         1};
  // One configuration, one interface, a bulk OUT 0x01 and a bulk IN 0x82.
  const std::vector<uint8_t> config{9,  2, 32, 0,    1, 1,    0,    0x80, 50, 9,    4,
                                    0,  0, 2,  0xFF, 0, 0,    0,    7,    5,  0x01, 0x02,
                                    64, 0, 0,  7,    5, 0x82, 0x02, 64,   0,  0};
  d.insert(d.end(), config.begin(), config.end());
  return d;
}

inline usbhost_libusb::FoundDevice RootHub(int bus, int ports) {
  usbhost_libusb::FoundDevice d;
  d.bus = bus;
  d.address = 1;
  d.descriptors = Descriptors(0x1d6b, 0x0002, 9, 0);
  d.child_ports = ports;
  return d;
}

inline usbhost_libusb::FoundDevice Hub(int bus, std::vector<int> ports, int address,
                                       int child_ports) {
  usbhost_libusb::FoundDevice d;
  d.bus = bus;
  d.ports = std::move(ports);
  d.address = address;
  d.descriptors = Descriptors(0x05e3, 0x0608, 9, 0);
  d.child_ports = child_ports;
  return d;
}

inline usbhost_libusb::FoundDevice Meter(int bus, std::vector<int> ports, int address,
                                         std::string serial) {
  usbhost_libusb::FoundDevice d;
  d.bus = bus;
  d.ports = std::move(ports);
  d.address = address;
  d.descriptors = Descriptors(bulkpipe::kMeterVendorId, bulkpipe::kMeterProductId, 0, 3);
  d.serial = std::move(serial);
  return d;
}

inline usbhost_libusb::FoundDevice Other(int bus, std::vector<int> ports, int address) {
  usbhost_libusb::FoundDevice d;
  d.bus = bus;
  d.ports = std::move(ports);
  d.address = address;
  d.descriptors = Descriptors(0x046d, 0xc52b, 0, 0);
  return d;
}

}  // namespace libusb_test

#endif
