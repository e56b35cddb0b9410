// lx40 info SERIAL [--json]: one meter's identity, battery, slots and
// settings.
#ifndef LX40_LX40_COMMAND_INFO_H
#define LX40_LX40_COMMAND_INFO_H

#include <string>

namespace CLI {
class App;
}

namespace lx40 {

struct InfoOptions {
  std::string serial;
  std::string port;   // --port: the meter plugged there
  bool json = false;  // one JSON object
};

void AddInfoOptions(CLI::App& app, InfoOptions& options);
int RunInfoCommand(const InfoOptions& options);

}  // namespace lx40

#endif
