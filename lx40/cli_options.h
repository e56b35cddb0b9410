// The command line: lx40 <command> [options]. Parsed with CLI11; every
// command has --help, and lx40 --version prints the project's version.
#ifndef LX40_LX40_CLI_OPTIONS_H
#define LX40_LX40_CLI_OPTIONS_H

#include <optional>
#include <string>
#include <vector>

namespace lx40 {

enum class Command { kList, kSetup, kInfo, kMeasure, kTableCheck, kTableExport };

struct Options {
  Command command = Command::kList;
  bool json = false;
  // setup
  std::vector<std::string> serials;  // setup: the meters named; info, measure: [0]
  std::vector<std::string> table_files;
  size_t jobs = 0;  // 0: all meters at once
  std::string record_file;
  // measure
  int count = 1;
  int interval_ms = 1000;
  bool csv = false;
  // table check / export
  std::string file;
  int type_code = 0;
};

// Parses the arguments. Returns the exit status when the program is done
// already (help or version printed: 0; bad usage: 2, message printed),
// nullopt when `options` holds a command to run.
std::optional<int> ParseCommandLine(int argc, char** argv, Options* options);

}  // namespace lx40

#endif
