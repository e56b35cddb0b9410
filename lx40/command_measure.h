// lx40 measure SERIAL [--count N] [--interval MS] [--json | --csv]: readings
// from one meter.
#ifndef LX40_LX40_COMMAND_MEASURE_H
#define LX40_LX40_COMMAND_MEASURE_H

#include <string>

namespace CLI {
class App;
}

namespace lx40 {

struct MeasureOptions {
  std::string serial;
  std::string port;        // --port: the meter plugged there
  int count = 1;           // 1 to 1000000
  int interval_ms = 1000;  // between readings, 0 to 3600000
  bool json = false;       // JSON Lines
  bool csv = false;        // comma-separated values (not with json)
};

void AddMeasureOptions(CLI::App& app, MeasureOptions& options);
int RunMeasureCommand(const MeasureOptions& options);

}  // namespace lx40

#endif
