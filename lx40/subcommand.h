// One subcommand of lx40, as a row of the program's table of subcommands
// (subcommands.cpp): its name, its help line, and how it gets its options
// and runs. Each subcommand has an options struct of its own; the command
// line parser (command_line.h) gives each row its own CLI11 subcommand.
//
// A new subcommand is one row: write its options struct, a function that
// adds them to its CLI11 app and a function that runs it with them
// (command_<name>.h), then add
//   {"name", "help line", BindOptions<NameOptions, AddNameOptions, RunNameCommand>}
// to the table. "group name" puts it below a group row, such as "table".
#ifndef LX40_LX40_SUBCOMMAND_H
#define LX40_LX40_SUBCOMMAND_H

#include <memory>
#include <string_view>

namespace CLI {
class App;
}

namespace lx40 {

// A subcommand's options as the parser fills them, and what it does with
// them.
class CommandRun {
 public:
  virtual ~CommandRun() = default;
  // The options back to their defaults: each parse starts from them.
  virtual void Reset() = 0;
  // Runs the subcommand with the options parsed; returns the exit status.
  virtual int Run() const = 0;
};

// The CommandRun of a subcommand whose options are a struct of its own:
// `add` binds the struct's members to the subcommand's CLI11 app once,
// `run` gets them after each parse.
template <typename Options>
class OptionsRun final : public CommandRun {
 public:
  using Add = void (*)(CLI::App& app, Options& options);
  using RunWith = int (*)(const Options& options);

  OptionsRun(CLI::App& app, Add add, RunWith run) : run_(run) { add(app, options_); }
  OptionsRun(const OptionsRun&) = delete;
  OptionsRun& operator=(const OptionsRun&) = delete;

  // Assigned member by member: the addresses CLI11 writes to stay.
  void Reset() override { options_ = Options{}; }
  int Run() const override { return run_(options_); }
  const Options& options() const { return options_; }

 private:
  Options options_;
  RunWith run_;
};

// A row of the table of subcommands.
struct Subcommand {
  // "list", or "<group> <name>" for a subcommand of a group ("table check");
  // the group's own row comes first.
  std::string_view name;
  // The line `lx40 --help` shows for it.
  std::string_view help;
  // Adds the subcommand's options and arguments to `app`, its own CLI11
  // subcommand, and gives what runs it. Null for a group, which only holds
  // subcommands.
  std::unique_ptr<CommandRun> (*define)(CLI::App& app);
};

// The `define` of a subcommand with an options struct of its own.
template <typename Options, void (*Add)(CLI::App&, Options&), int (*Run)(const Options&)>
std::unique_ptr<CommandRun> BindOptions(CLI::App& app) {
  return std::make_unique<OptionsRun<Options>>(app, Add, Run);
}

}  // namespace lx40

#endif
