// Putting virtual meters on the simulated bus: one meter on a hub port, and
// the plain topology the demo starts with when nothing else is configured.
#ifndef LX40_USBHOST_SIM_METER_METER_ATTACH_H
#define LX40_USBHOST_SIM_METER_METER_ATTACH_H

#include <functional>
#include <memory>
#include <vector>

#include "bus/sim_bus.h"
#include "meter/meter_config.h"
#include "meter/virtual_meter.h"

namespace usbsim {

// The meter's USB identity.
inline constexpr uint16_t kMeterVendorId = 0x5A2D;
inline constexpr uint16_t kMeterProductId = 0x3000;

struct AttachedMeter {
  DeviceId device = 0;
  std::shared_ptr<VirtualMeter> meter;
  NodeId hub = 0;  // where it is plugged
  int port = 0;
};

// Plugs a meter built from `config` into `port` (1-based) of `hub`; its USB
// serial-number string is the meter's serial number. When the meter's
// unplug fault strikes, the device is unplugged from the bus as well.
// `device` is 0 when the bus refused the port. A meter with replug_after
// set comes back by itself that long after its unplug fault.
AttachedMeter AttachMeter(NodeId hub, int port, MeterConfig config);

// Plugs the same meter, pulled out (by its fault or Bus::Unplug), back into
// its port after VirtualMeter::PlugBackIn: the host finds it again under a
// new device id. `device` is 0 when the port is taken.
AttachedMeter ReplugMeter(const AttachedMeter& attached);

// Plugs `meter` into `port` of `hub` for the simulated line: when its
// unplug fault strikes, the device leaves the bus and `after_unplug` runs
// (the line then carries out the meter's replug_after itself).
AttachedMeter PlugLineMeter(NodeId hub, int port, std::shared_ptr<VirtualMeter> meter,
                            std::function<void()> after_unplug);

// Empties the bus and builds: controller 0 with a 4-port root hub; meter
// "A12345678" on port 1; an external 4-port hub on port 3 with meter
// "B23456789" on its port 2. All slots empty, batteries good. Returns the
// two meters in that order.
std::vector<AttachedMeter> BuildDefaultTopology();

}  // namespace usbsim

#endif
