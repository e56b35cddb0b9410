// What the simulated meters hold when the program ends, for tests of
// programs that never call the simulator (lx40, the wizard): with
// LX40_SIM_STATE=<file> in the environment, the simulator writes there, as
// one JSON object,
//   {"meters": [{"serial", "plugged", "exchanges", "load_in_progress",
//                "slots": "0100000",
//                "stored": [{"slot", "size", "crc": "89AB", "bytes": hex}]}],
//    "open_handles": <usbhost handles not closed, pipes included>}
// for the meters it built from the meter file or the default topology
// (sim_autoload.h). "stored" lists the tables a load stored since power-on.
#ifndef LX40_USBHOST_SIM_METER_SIM_STATE_FILE_H
#define LX40_USBHOST_SIM_METER_SIM_STATE_FILE_H

#include <string>
#include <vector>

#include "meter/meter_attach.h"

namespace usbsim {

// The state as JSON text.
std::string SimStateJson(const std::vector<AttachedMeter>& meters);

// When LX40_SIM_STATE names a file: writes the state of `meters` there when
// the process ends (the meters are kept alive until then).
void WriteSimStateAtExit(std::vector<AttachedMeter> meters);

}  // namespace usbsim

#endif
