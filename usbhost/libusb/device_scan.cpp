#include "device_scan.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace usbhost_libusb {
namespace {

constexpr const char* kSysfsDevices = "/sys/bus/usb/devices/";
// sysfs "descriptors" holds the device descriptor and every configuration;
// a device's configurations are at most a few KiB. What sysfs says beyond
// this is not read.
constexpr size_t kMaxDescriptorBytes = 64 * 1024;
// A string descriptor has at most 126 UTF-16 units, 378 bytes of UTF-8.
constexpr size_t kMaxAttributeBytes = 512;
// USB allows at most 7 tiers: a root hub and up to 6 ports below it, but
// libusb's call wants room for the longest chain it may report.
constexpr int kMaxPortChain = 8;

std::vector<uint8_t> ReadFileBytes(const std::string& path, size_t limit) {
  std::vector<uint8_t> bytes;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return bytes;
  uint8_t block[4096];
  while (bytes.size() < limit) {
    const size_t got = std::fread(block, 1, sizeof block, file);
    if (got == 0) break;
    bytes.insert(bytes.end(), block, block + std::min(got, limit - bytes.size()));
  }
  std::fclose(file);
  return bytes;
}

std::string ReadAttribute(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadFileBytes(path, kMaxAttributeBytes);
  std::string text(bytes.begin(), bytes.end());
  while (!text.empty() && (text.back() == '\n' || text.back() == '\0')) text.pop_back();
  return text;
}

// The 18-byte device descriptor as libusb has it cached, for a device whose
// sysfs folder cannot be read.
std::vector<uint8_t> CachedDeviceDescriptor(libusb_device* device) {
  libusb_device_descriptor d{};
  if (libusb_get_device_descriptor(device, &d) != 0) return {};
  return {d.bLength,
          d.bDescriptorType,
          static_cast<uint8_t>(d.bcdUSB),
          static_cast<uint8_t>(d.bcdUSB >> 8),
          d.bDeviceClass,
          d.bDeviceSubClass,
          d.bDeviceProtocol,
          d.bMaxPacketSize0,
          static_cast<uint8_t>(d.idVendor),
          static_cast<uint8_t>(d.idVendor >> 8),
          static_cast<uint8_t>(d.idProduct),
          static_cast<uint8_t>(d.idProduct >> 8),
          static_cast<uint8_t>(d.bcdDevice),
          static_cast<uint8_t>(d.bcdDevice >> 8),
          d.iManufacturer,
          d.iProduct,
          d.iSerialNumber,
          d.bNumConfigurations};
}

}  // namespace

void ReadSysfsAttributes(FoundDevice& device) {
  const std::string folder = kSysfsDevices + KernelName(device) + "/";
  device.descriptors = ReadFileBytes(folder + "descriptors", kMaxDescriptorBytes);
  device.serial = ReadAttribute(folder + "serial");
  const std::string children = ReadAttribute(folder + "maxchild");
  device.child_ports = children.empty() ? 0 : std::atoi(children.c_str());
}

std::vector<FoundDevice> ScanDevices(libusb_context* context) {
  std::vector<FoundDevice> found;
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(context, &list);
  if (count < 0) return found;
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device* device = list[i];
    FoundDevice entry;
    entry.bus = libusb_get_bus_number(device);
    entry.address = libusb_get_device_address(device);
    uint8_t ports[kMaxPortChain];
    const int depth = libusb_get_port_numbers(device, ports, sizeof ports);
    if (depth < 0) continue;
    entry.ports.assign(ports, ports + depth);
    ReadSysfsAttributes(entry);
    if (entry.descriptors.empty()) entry.descriptors = CachedDeviceDescriptor(device);
    found.push_back(std::move(entry));
  }
  libusb_free_device_list(list, 1);
  return found;
}

}  // namespace usbhost_libusb
