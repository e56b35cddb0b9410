// lx40 table check FILE and lx40 table export 8010|8011 FILE.
#ifndef LX40_LX40_COMMAND_TABLE_H
#define LX40_LX40_COMMAND_TABLE_H

#include <string>

namespace CLI {
class App;
}

namespace lx40 {

struct TableCheckOptions {
  std::string file;
};

void AddTableCheckOptions(CLI::App& app, TableCheckOptions& options);
int RunTableCheckCommand(const TableCheckOptions& options);

struct TableExportOptions {
  int type_code = 0;  // 8010 or 8011
  std::string file;
};

void AddTableExportOptions(CLI::App& app, TableExportOptions& options);
int RunTableExportCommand(const TableExportOptions& options);

}  // namespace lx40

#endif
