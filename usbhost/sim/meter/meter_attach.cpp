#include "meter/meter_attach.h"

#include <chrono>
#include <functional>
#include <string>
#include <utility>

#include "meter/sim_line.h"

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

// `after_unplug`, when given, runs after the unplug fault took the device
// off the bus, instead of the meter's own replug_after.
AttachedMeter PlugIn(NodeId hub, int port, std::shared_ptr<VirtualMeter> meter,
                     std::function<void()> after_unplug = {}) {
  SimulatedDevice details;
  details.vendor_id = kMeterVendorId;
  details.product_id = kMeterProductId;
  details.serial = WidenAscii(meter->Config().serial);
  details.pipes = meter;
  const DeviceId device = Bus::Instance().Plug(hub, port, std::move(details));
  if (device != 0) {
    // A meter pulled out by its unplug fault leaves the bus too, and comes
    // back later if it is told to. Only a weak reference is captured: the
    // bus owns the meter, the meter must not own itself.
    const std::weak_ptr<VirtualMeter> weak = meter;
    meter->SetUnplugHandler([device, hub, port, weak, after_unplug] {
      Bus& bus = Bus::Instance();
      bus.Unplug(device);
      if (after_unplug) {
        after_unplug();
        return;
      }
      const std::shared_ptr<VirtualMeter> pulled = weak.lock();
      if (!pulled) return;
      const std::chrono::milliseconds after = pulled->Config().faults.replug_after;
      if (after.count() <= 0) return;
      bus.ChangeAt(std::chrono::steady_clock::now() + after, [pulled, hub, port] {
        ReplugMeter(AttachedMeter{0, pulled, hub, port});
      });
    });
  }
  return AttachedMeter{device, std::move(meter), hub, port};
}

}  // namespace

AttachedMeter AttachMeter(NodeId hub, int port, MeterConfig config) {
  return PlugIn(hub, port, std::make_shared<VirtualMeter>(std::move(config)));
}

AttachedMeter ReplugMeter(const AttachedMeter& attached) {
  if (!attached.meter) return AttachedMeter{};
  if (attached.device != 0) Bus::Instance().Unplug(attached.device);
  attached.meter->PlugBackIn();
  return PlugIn(attached.hub, attached.port, attached.meter);
}

AttachedMeter PlugLineMeter(NodeId hub, int port, std::shared_ptr<VirtualMeter> meter,
                            std::function<void()> after_unplug) {
  if (!meter) return AttachedMeter{};
  return PlugIn(hub, port, std::move(meter), std::move(after_unplug));
}

std::vector<AttachedMeter> BuildDefaultTopology() {
  StopLine();
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
