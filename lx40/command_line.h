// The command line: lx40 <command> [options]. Parsed with CLI11; every
// command has --help, and lx40 --version prints the project's version.
#ifndef LX40_LX40_COMMAND_LINE_H
#define LX40_LX40_COMMAND_LINE_H

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

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

// lx40's command line parser, built once and usable for many command lines
// (one at a time).
class CommandLine {
 public:
  CommandLine();
  ~CommandLine();
  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;

  // As ParseCommandLine; the command is in options() afterwards.
  std::optional<int> Parse(int argc, char** argv);
  const Options& options() const { return options_; }

 private:
  Options options_;
  std::string info_serial_;
  std::string measure_serial_;
  std::unique_ptr<CLI::App> app_;
  CLI::App* list_ = nullptr;
  CLI::App* setup_ = nullptr;
  CLI::App* info_ = nullptr;
  CLI::App* measure_ = nullptr;
  CLI::App* check_ = nullptr;
  CLI::App* export_table_ = nullptr;
};

// Parses the arguments. Returns the exit status when the program is done
// already (help or version printed: 0; bad usage: 2, message printed),
// nullopt when `options` holds a command to run.
std::optional<int> ParseCommandLine(int argc, char** argv, Options* options);

}  // namespace lx40

#endif
