#include "sysfs_answers.h"

#include <algorithm>

#include "hub_records.h"
#include "usb_descriptors.h"

namespace usbhost_libusb {
namespace {

using usbtopo::records::GetU16;
using usbtopo::records::kDeviceDescriptorSize;

using usbtopo::descriptors::kClassHub;
using usbtopo::descriptors::kConfigHeaderSize;
using usbtopo::descriptors::kTypeConfiguration;
using usbtopo::descriptors::kTypeDevice;
using usbtopo::descriptors::kTypeEndpoint;
using usbtopo::descriptors::kTypeInterface;
using usbtopo::descriptors::kTypeString;
using usbtopo::descriptors::StringDescriptor;
constexpr size_t kISerialNumber = 16;

// The UTF-16 units of a UTF-8 text; a malformed sequence becomes U+FFFD,
// a character beyond the BMP a surrogate pair.
std::vector<uint16_t> Utf16FromUtf8(const std::string& text) {
  std::vector<uint16_t> units;
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<uint8_t>(text[i]);
    size_t length = lead < 0x80           ? 1
                    : (lead >> 5) == 0x6  ? 2
                    : (lead >> 4) == 0xE  ? 3
                    : (lead >> 3) == 0x1E ? 4
                                          : 0;
    uint32_t code = length == 1   ? lead
                    : length == 2 ? (lead & 0x1Fu)
                    : length == 3 ? (lead & 0x0Fu)
                                  : (lead & 0x07u);
    bool valid = length != 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<uint8_t>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3Fu);
    }
    if (!valid || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      units.push_back(0xFFFD);
      i += 1;
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      units.push_back(static_cast<uint16_t>(0xD800 + (code >> 10)));
      units.push_back(static_cast<uint16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      units.push_back(static_cast<uint16_t>(code));
    }
    i += length;
  }
  return units;
}

class SysfsDevice : public usbtopo::PortAnswers {
 public:
  explicit SysfsDevice(const FoundDevice& device) : serial_(Utf16FromUtf8(device.serial)) {
    const auto& bytes = device.descriptors;
    if (bytes.size() >= kDeviceDescriptorSize && bytes[1] == kTypeDevice) {
      device_.assign(bytes.begin(), bytes.begin() + kDeviceDescriptorSize);
      // The first configuration, as long as its header says and the bytes
      // hold.
      const size_t rest = bytes.size() - kDeviceDescriptorSize;
      if (rest >= kConfigHeaderSize && bytes[kDeviceDescriptorSize + 1] == kTypeConfiguration) {
        const size_t total = std::min<size_t>(GetU16(&bytes[kDeviceDescriptorSize + 2]), rest);
        if (total >= kConfigHeaderSize) {
          configuration_.assign(bytes.begin() + kDeviceDescriptorSize,
                                bytes.begin() + kDeviceDescriptorSize + total);
        }
      }
    }
  }

  std::vector<uint8_t> DeviceDescriptor() const override { return device_; }

  std::vector<std::vector<uint8_t>> Endpoints() const override {
    // The endpoints of the first interface (alternate setting 0).
    std::vector<std::vector<uint8_t>> endpoints;
    int interfaces_seen = 0;
    size_t at = configuration_.empty() ? 0 : configuration_[0];
    while (at + 2 <= configuration_.size()) {
      const uint8_t length = configuration_[at];
      const uint8_t type = configuration_[at + 1];
      if (length < 2 || at + length > configuration_.size()) break;
      if (type == kTypeInterface) ++interfaces_seen;
      if (interfaces_seen > 1) break;
      if (type == kTypeEndpoint && length >= 7) {
        endpoints.emplace_back(configuration_.begin() + at, configuration_.begin() + at + 7);
      }
      at += length;
    }
    return endpoints;
  }

  bool Answer(uint16_t value, uint16_t index, uint16_t length, uint32_t room,
              std::vector<uint8_t>* data) const override {
    const auto type = static_cast<uint8_t>(value >> 8);
    const auto descriptor_index = static_cast<uint8_t>(value & 0xFF);
    std::vector<uint8_t> d;
    switch (type) {
      case kTypeDevice:
        if (descriptor_index != 0 || device_.empty()) return false;
        d = device_;
        break;
      case kTypeConfiguration:
        if (descriptor_index != 0 || configuration_.empty()) return false;
        d = configuration_;
        break;
      case kTypeString:
        if (descriptor_index == 0) {
          d = StringDescriptor({kStringLanguage});
        } else {
          if (device_.empty() || descriptor_index != device_[kISerialNumber] || serial_.empty() ||
              index != kStringLanguage) {
            return false;
          }
          d = StringDescriptor(serial_);
        }
        break;
      default:
        return false;
    }
    const size_t limit = std::min<size_t>(length, room);
    if (d.size() > limit) d.resize(limit);
    *data = std::move(d);
    return true;
  }

 private:
  std::vector<uint8_t> device_;
  std::vector<uint8_t> configuration_;
  std::vector<uint16_t> serial_;
};

}  // namespace

std::shared_ptr<const usbtopo::PortAnswers> SysfsAnswers(const FoundDevice& device) {
  return std::make_shared<SysfsDevice>(device);
}

uint16_t VendorId(const FoundDevice& device) {
  return device.descriptors.size() >= kDeviceDescriptorSize ? GetU16(&device.descriptors[8]) : 0;
}

uint16_t ProductId(const FoundDevice& device) {
  return device.descriptors.size() >= kDeviceDescriptorSize ? GetU16(&device.descriptors[10]) : 0;
}

bool IsHubClass(const FoundDevice& device) {
  return device.descriptors.size() >= kDeviceDescriptorSize && device.descriptors[4] == kClassHub;
}

}  // namespace usbhost_libusb
