// lx40 history SERIAL [--record FILE]... [--json]: every record line of one
// serial number across the record files, oldest first.
#ifndef LX40_LX40_REPORT_COMMAND_HISTORY_H
#define LX40_LX40_REPORT_COMMAND_HISTORY_H

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace lx40 {

struct HistoryOptions {
  std::string serial;
  std::vector<std::string> record_files;
  bool json = false;  // the record lines as stored
};

void AddHistoryOptions(CLI::App& app, HistoryOptions& options);
int RunHistoryCommand(const HistoryOptions& options);

}  // namespace lx40

#endif
