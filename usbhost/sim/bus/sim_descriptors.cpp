#include "bus/sim_descriptors.h"

#include <algorithm>

#include "bus/sim_bus_state.h"
#include "hub_records.h"
#include "usb_descriptors.h"

namespace usbsim::descriptors {
namespace {

using usbtopo::records::PutU16;

using usbtopo::descriptors::kClassHub;
using usbtopo::descriptors::kConfigHeaderSize;
using usbtopo::descriptors::kTypeEndpoint;
using usbtopo::descriptors::kTypeInterface;
using usbtopo::descriptors::StringDescriptor;
constexpr uint8_t kClassVendor = 0xFF;

std::vector<uint8_t> Endpoint(uint8_t address, uint8_t attributes, uint16_t max_packet,
                              uint8_t interval) {
  std::vector<uint8_t> e{7, kTypeEndpoint, address, attributes, 0, 0, interval};
  PutU16(&e[4], max_packet);
  return e;
}

std::vector<uint8_t> ConfigurationDescriptor(const PortDevice& device) {
  const auto endpoints = Endpoints(device);
  std::vector<uint8_t> d{kConfigHeaderSize,
                         kTypeConfiguration,
                         0,
                         0,
                         1,     // bNumInterfaces
                         1,     // bConfigurationValue
                         0,     // iConfiguration
                         0x80,  // bus powered
                         50};   // 100 mA
  const std::vector<uint8_t> interface {
    9, kTypeInterface, 0, 0,
        static_cast<uint8_t>(endpoints.size()), device.is_hub ? kClassHub : kClassVendor, 0, 0, 0
  };
  d.insert(d.end(), interface.begin(), interface.end());
  for (const auto& e : endpoints) d.insert(d.end(), e.begin(), e.end());
  PutU16(&d[2], static_cast<uint16_t>(d.size()));
  return d;
}

bool AnswerConfiguration(const PortDevice& device, uint8_t index, uint16_t length,
                         std::vector<uint8_t>* d) {
  if (index != 0) return false;  // the device has one configuration
  *d = ConfigurationDescriptor(device);
  const uint16_t real_total = usbtopo::records::GetU16(&(*d)[2]);
  if (device.is_hub) return true;
  const DescriptorFaults& f = device.details->faults;
  // The header read asks for 9 bytes or fewer; anything longer is the full read.
  if (length <= kConfigHeaderSize) {
    if (f.config_total_length >= 0) {
      PutU16(&(*d)[2], static_cast<uint16_t>(std::min(f.config_total_length, 0xFFFF)));
    }
    return true;
  }
  if (f.config_second_length_differs) PutU16(&(*d)[2], static_cast<uint16_t>(real_total + 1));
  if (f.config_second_read_short) {
    const size_t asked = std::min<size_t>(length, d->size());
    d->resize(asked - 1);
  }
  return true;
}

bool AnswerString(const PortDevice& device, uint8_t index, uint16_t language,
                  std::vector<uint8_t>* d) {
  const SimulatedDevice& details = *device.details;
  const DescriptorFaults& f = details.faults;
  if (index == 0) {
    if (!device.is_hub && f.language_list_fails) return false;
    *d = StringDescriptor(details.languages);
  } else {
    if (device.is_hub || index != details.serial_index) return false;
    if (f.serial_string_fails) return false;
    if (std::find(details.languages.begin(), details.languages.end(), language) ==
        details.languages.end()) {
      return false;
    }
    *d = StringDescriptor(std::vector<uint16_t>(details.serial.begin(), details.serial.end()));
  }
  if (device.is_hub) return true;
  if (f.string_odd_length) {
    // bLength odd and the bytes sent agree with it, so only the parity is wrong.
    (*d)[0] = static_cast<uint8_t>((*d)[0] - 1);
    d->resize((*d)[0]);
  }
  if (f.string_wrong_type) (*d)[1] = kTypeConfiguration;
  if (f.string_length_disagrees) {
    // Still even, but two more than the bytes sent.
    (*d)[0] = static_cast<uint8_t>((*d)[0] + 2);
  }
  return true;
}

}  // namespace

std::vector<uint8_t> DeviceDescriptor(const PortDevice& device) {
  const SimulatedDevice& details = *device.details;
  std::vector<uint8_t> d(kDeviceDescriptorSize, 0);
  d[0] = kDeviceDescriptorSize;
  d[1] = kTypeDevice;
  PutU16(&d[2], 0x0200);                 // bcdUSB
  d[4] = device.is_hub ? kClassHub : 0;  // bDeviceClass
  d[6] = device.is_hub ? 1 : 0;          // bDeviceProtocol: single TT
  d[7] = 64;                             // bMaxPacketSize0
  PutU16(&d[8], details.vendor_id);
  PutU16(&d[10], details.product_id);
  PutU16(&d[12], 0x0100);  // bcdDevice
  d[16] = details.serial_index;
  d[17] = 1;  // bNumConfigurations
  return d;
}

std::vector<std::vector<uint8_t>> Endpoints(const PortDevice& device) {
  if (device.is_hub) return {Endpoint(0x81, 0x03, 1, 12)};            // status change
  return {Endpoint(0x01, 0x02, 64, 0), Endpoint(0x82, 0x02, 64, 0)};  // pipes 0 and 1
}

bool Answer(const PortDevice& device, uint16_t value, uint16_t index, uint16_t length,
            uint32_t room, std::vector<uint8_t>* data) {
  const auto type = static_cast<uint8_t>(value >> 8);
  const auto descriptor_index = static_cast<uint8_t>(value & 0xFF);
  std::vector<uint8_t> d;
  bool ok = false;
  switch (type) {
    case kTypeDevice:
      ok = descriptor_index == 0;
      if (ok) d = DeviceDescriptor(device);
      break;
    case kTypeConfiguration:
      ok = AnswerConfiguration(device, descriptor_index, length, &d);
      break;
    case kTypeString:
      ok = AnswerString(device, descriptor_index, index, &d);
      break;
    default:
      break;
  }
  if (!ok) return false;
  const size_t limit = std::min<size_t>(length, room);
  if (d.size() > limit) d.resize(limit);
  *data = std::move(d);
  return true;
}

}  // namespace usbsim::descriptors

namespace usbsim {
namespace {

// A copy of the details, so the topology's answers stay what was plugged.
class SimulatedAnswers : public usbtopo::PortAnswers {
 public:
  SimulatedAnswers(const SimulatedDevice& details, bool is_hub) : details_(details) {
    details_.pipes.reset();  // the pipes are the bus's, not the hub driver's
    is_hub_ = is_hub;
  }
  std::vector<uint8_t> DeviceDescriptor() const override {
    return descriptors::DeviceDescriptor(View());
  }
  std::vector<std::vector<uint8_t>> Endpoints() const override {
    return descriptors::Endpoints(View());
  }
  bool Answer(uint16_t value, uint16_t index, uint16_t length, uint32_t room,
              std::vector<uint8_t>* data) const override {
    return descriptors::Answer(View(), value, index, length, room, data);
  }
  bool ConnectionInfoFails() const override {
    return !is_hub_ && details_.faults.connection_info_fails;
  }

 private:
  descriptors::PortDevice View() const { return {&details_, is_hub_}; }
  SimulatedDevice details_;
  bool is_hub_ = false;
};

}  // namespace

std::shared_ptr<const usbtopo::PortAnswers> AnswersOf(const SimulatedDevice& details, bool is_hub) {
  return std::make_shared<SimulatedAnswers>(details, is_hub);
}

}  // namespace usbsim
