#include "usbhost/sim/meter/meter_attach.h"

#include <string>
#include <utility>

namespace usbsim {

namespace {

// USB string descriptors are UTF-16; the serial number is plain ASCII, so
// each character widens to one code unit.
std::u16string WidenAscii(const std::string& text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (const char c : text) wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return wide;
}

}  // namespace

AttachedMeter AttachMeter(NodeId hub, int port, MeterConfig config) {
  SimulatedDevice details;
  details.vendor_id = kMeterVendorId;
  details.product_id = kMeterProductId;
  details.serial = WidenAscii(config.serial);
  auto meter = std::make_shared<VirtualMeter>(std::move(config));
  details.pipes = meter;
  const DeviceId device = Bus::Instance().Plug(hub, port, std::move(details));
  if (device != 0) {
    // A meter pulled out by its unplug fault leaves the bus too. Only the
    // id is captured: the bus owns the meter, the meter must not own it back.
    meter->SetUnplugHandler([device] { Bus::Instance().Unplug(device); });
  }
  return AttachedMeter{device, std::move(meter)};
}

std::vector<AttachedMeter> BuildDefaultTopology() {
  Bus& bus = Bus::Instance();
  bus.Reset();
  const NodeId root = bus.AddController(0, 4);
  std::vector<AttachedMeter> meters;

  MeterConfig first;
  first.serial = "A12345678";
  meters.push_back(AttachMeter(root, 1, std::move(first)));

  const NodeId hub = bus.AddHub(root, 3, 4);
  MeterConfig second;
  second.serial = "B23456789";
  meters.push_back(AttachMeter(hub, 2, std::move(second)));
  return meters;
}

}  // namespace usbsim
