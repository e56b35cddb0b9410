// lx40 setup [SERIAL...] [--table FILE]... [--jobs N] [--record FILE]
// [--json] [--operator NAME] [--work-order ID] [--lot ID] [--meta KEY=VALUE]...:
// the sensor data tables into every meter (or the named ones) at
// once, with a record of each.
#ifndef LX40_LX40_COMMAND_SETUP_H
#define LX40_LX40_COMMAND_SETUP_H

#include <cstddef>
#include <string>
#include <vector>

#include "table_source.h"
#include "traceability.h"

namespace CLI {
class App;
}

namespace lx40 {

struct SetupOptions {
  std::vector<std::string> serials;      // only these meters; none: every one attached
  std::vector<std::string> table_files;  // none: the built-in tables
  size_t jobs = 0;                       // meters at a time; 0: all at once
  std::string record_file;               // "": no record file
  bool json = false;                     // record lines on stdout, progress on stderr
  TraceabilityOptions trace;             // who, which work order and lot
};

void AddSetupOptions(CLI::App& app, SetupOptions& options);

// The tables a setup writes: the built-in ones, or the files given, each
// checked. False (message printed) when a file is unreadable or not a valid
// table, or two tables fill the same slot.
bool GatherTables(const std::vector<std::string>& table_files, std::vector<SensorTable>* tables);
int RunSetupCommand(const SetupOptions& options);

}  // namespace lx40

#endif
