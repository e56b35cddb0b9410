// The simulated bus most suites, benchmarks and fuzz targets start from: an
// emptied bus with one host controller, and devices with the meter's USB
// identity whose pipes a test's own endpoint serves.
#ifndef LX40_TESTS_SUPPORT_SIM_BUS_SETUP_H
#define LX40_TESTS_SUPPORT_SIM_BUS_SETUP_H

#include <memory>
#include <string>
#include <utility>

#include "bus/pipe_endpoint.h"
#include "bus/sim_bus.h"

namespace sim_setup {

// Empties the bus and adds host controller 0 with a root hub of `ports`
// ports; returns the root hub.
inline usbsim::NodeId EmptyBusWithRootHub(int ports) {
  usbsim::Bus& bus = usbsim::Bus::Instance();
  bus.Reset();
  return bus.AddController(0, ports);
}

// Plugs a device with serial number `serial` into `port` of `hub`, its two
// pipes served by `pipes`.
inline usbsim::DeviceId PlugMeterDevice(usbsim::NodeId hub, int port, std::u16string serial,
                                        std::shared_ptr<usbsim::PipeEndpoint> pipes) {
  usbsim::SimulatedDevice details;
  details.serial = std::move(serial);
  details.pipes = std::move(pipes);
  return usbsim::Bus::Instance().Plug(hub, port, std::move(details));
}

}  // namespace sim_setup

#endif
