// The station's watch loop: the listing of places, polled, without a byte
// to any meter (mlink_list_places); each new plug at a bay is one unit,
// set up by a worker of its own with the same steps as `lx40 setup`
// (SetupOpenMeter), its meter opened by its place and held open until it
// is pulled out, so no later listing ever asks it anything.
//
// Polling, not waiting for a change: the listing costs the simulator and
// the Windows device lists a few microseconds to a millisecond, so five a
// second keep both the 1 s arrival and removal limits and the idle cost
// far below 1% of a core, on one code path for every system.
#ifndef LX40_LX40_STATION_STATION_WATCH_H
#define LX40_LX40_STATION_STATION_WATCH_H

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "bay_board.h"
#include "setup_engine.h"

namespace lx40::station {

inline constexpr std::chrono::milliseconds kPollInterval{200};

struct StationPlan {
  SetupPlan setup;  // the tables, the settle and the station's name
  std::chrono::milliseconds poll = kPollInterval;
};

// Called on the unit's worker with its record before the bay shows the
// outcome (the record file's append). May be empty.
using RecordWriter = std::function<void(const UnitRecord& record)>;

// How far the operator has asked to stop: 0 not at all; 1 no unit starts,
// the units in progress finish; 2 or more the units stop between two load
// steps (as `setup` does at its second Ctrl+C).
using StopAsked = std::function<int()>;

// Watches and sets up until a stop (or --max-units) and every unit begun
// is over; then the board's "stopped" event. Every handle is closed on
// return.
void RunStation(const StationPlan& plan, BayBoard& board, const RecordWriter& write,
                const StopAsked& stop);

}  // namespace lx40::station

#endif
