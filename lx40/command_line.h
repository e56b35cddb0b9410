// The command line: lx40 <command> [options], parsed with CLI11 from a table
// of subcommands (subcommand.h; lx40's own is subcommands.h). Every command
// has --help, and lx40 --version prints the project's version.
#ifndef LX40_LX40_COMMAND_LINE_H
#define LX40_LX40_COMMAND_LINE_H

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "subcommand.h"

namespace lx40 {

// lx40's command line parser, built once from a table and usable for many
// command lines (one at a time): each parse starts from the defaults.
class CommandLine {
 public:
  // A row whose group has no row before it is a fault of the table:
  // std::logic_error.
  explicit CommandLine(std::span<const Subcommand> table);
  ~CommandLine();
  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;

  // Parses the arguments. Returns the exit status when the program is done
  // already (help or version printed: 0; bad usage: 2, message printed),
  // nullopt when a subcommand is there to Run.
  std::optional<int> Parse(int argc, char** argv);

  // The subcommand parsed last: its name as in the table ("" before the
  // first good parse), its options (null for a subcommand of another
  // options type), and Run, which runs it and gives the exit status.
  std::string_view Parsed() const;
  template <typename Options>
  const Options* ParsedOptions() const {
    const auto* run = dynamic_cast<const OptionsRun<Options>*>(ParsedRun());
    return run != nullptr ? &run->options() : nullptr;
  }
  int Run() const;

 private:
  struct Entry;
  const CommandRun* ParsedRun() const;

  std::unique_ptr<CLI::App> app_;
  std::vector<Entry> entries_;
  const Entry* parsed_ = nullptr;
};

}  // namespace lx40

#endif
