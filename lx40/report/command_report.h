// lx40 report [--record FILE]... [--since TIME] [--until TIME] [--by KEY]
// [--utc] [--json|--csv] [--duplicates]: the figures of the record files.
#ifndef LX40_LX40_REPORT_COMMAND_REPORT_H
#define LX40_LX40_REPORT_COMMAND_REPORT_H

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace lx40 {

struct ReportOptions {
  std::vector<std::string> record_files;
  std::string since;  // "": from the first record
  std::string until;  // "": to the last
  std::string by;     // "": one group of every record
  bool utc = false;
  bool json = false;
  bool csv = false;
  bool duplicates = false;
};

void AddReportOptions(CLI::App& app, ReportOptions& options);
int RunReportCommand(const ReportOptions& options);

}  // namespace lx40

#endif
