// lx40 station [--bays FILE] [--record FILE] [--json] [--table FILE]...
// [--operator NAME] [--work-order ID] [--lot ID] [--meta KEY=VALUE]...
// [--max-units N] [--http [ADDRESS:]PORT] | --learn-bays FILE: every meter plugged in while it runs
// (and every one plugged in when it starts) set up as `lx40 setup` does it,
// bay by bay, until stopped.
#ifndef LX40_LX40_STATION_COMMAND_STATION_H
#define LX40_LX40_STATION_COMMAND_STATION_H

#include <cstddef>
#include <string>
#include <vector>

#include "traceability.h"

namespace CLI {
class App;
}

namespace lx40::station {

struct StationOptions {
  std::string bays_file;                 // "": every port is a bay named by its port
  std::string learn_bays_file;           // write a bays file instead of setting up
  std::vector<std::string> table_files;  // none: the built-in tables
  std::string record_file;               // "": no record file
  bool json = false;                     // events on stdout, the bays on stderr
  size_t max_units = 0;                  // 0: no limit
  TraceabilityOptions trace;             // --operator, --work-order, --lot, --meta
  std::string http;                      // the station page's [ADDRESS:]PORT (lx40/page)
};

class StationSubscriber;

void AddStationOptions(CLI::App& app, StationOptions& options);
// `subscriber` (may be null) hears of every event beside the terminal.
int RunStationCommand(const StationOptions& options, StationSubscriber* subscriber = nullptr);

}  // namespace lx40::station

#endif
