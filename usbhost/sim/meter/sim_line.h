// The simulated production line: ports that each take a queue of meters,
// one after another, the way an operator works a station. The first meter
// of each port is plugged in at once; a meter is pulled out a set time
// after the host stopped talking to it (its pipes quiet, as on seeing
// "remove"), and the next meter of its port is plugged in a set time after
// that. Each plug is a new device on the bus (new device id, new address),
// as a real re-plug is.
//
// A meter pulled out by its own unplug fault that has replug_after set
// comes back into its port after that time, once; a meter that leaves the
// bus any other way counts as pulled, and its port moves on.
//
// One line per process, run by a thread of its own that sleeps until the
// next thing due (or until a meter's unplug fault wakes it). Thread-safe.
#ifndef LX40_USBHOST_SIM_METER_SIM_LINE_H
#define LX40_USBHOST_SIM_METER_SIM_LINE_H

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "bus/sim_bus.h"
#include "meter/meter_attach.h"
#include "meter/virtual_meter.h"

namespace usbsim {

struct LineMeter {
  std::shared_ptr<VirtualMeter> meter;
  // Time from the pull-out of the meter before it in the queue to its
  // plug-in (not used for the first meter of a port).
  std::chrono::milliseconds plug_after{0};
  // Time from the end of the host's last call on its pipes (or from its
  // plug-in, when the host never calls on it) to its pull-out; 0: it stays.
  std::chrono::milliseconds pull_after{0};
};

struct LinePort {
  NodeId hub = 0;
  int port = 0;  // 1-based port of `hub`
  std::vector<LineMeter> queue;
};

// Stops a line already running, plugs the first meter of each port and
// starts the line. Returns, for each port in order, its first meter as
// plugged (device 0 when the port is missing or taken: that port stops).
std::vector<AttachedMeter> StartLine(std::vector<LinePort> ports);

// Stops the line and forgets it: from now on it plugs and pulls nothing
// (what is plugged stays). Safe to call when no line runs.
void StopLine();

// Stops the line's actions without waiting for its thread (for the end of
// the process, when a thread may no longer be waited for).
void HaltLine();

// The device under which the line has `meter` plugged now; 0 when the line
// does not have it on the bus.
DeviceId LineDeviceOf(const VirtualMeter* meter);

// A count of the plugs and pulls the line has carried out; it only grows.
uint64_t LineChangeCount();

// Waits until the count is above `seen`, at most `limit`. Returns the count.
uint64_t WaitForLineChange(uint64_t seen, std::chrono::milliseconds limit);

}  // namespace usbsim

#endif
