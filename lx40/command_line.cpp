#include "command_line.h"

#include <CLI/CLI.hpp>
#include <stdexcept>

#include "exit_status.h"
#include "traceability.h"

namespace lx40 {

struct CommandLine::Entry {
  std::string name;  // as in the table
  CLI::App* app;
  std::unique_ptr<CommandRun> run;  // null for a group
};

CommandLine::CommandLine(std::span<const Subcommand> table)
    : app_(std::make_unique<CLI::App>(
          "lx40: sets up LX40 optical power meters, many at a time, with a record of each",
          "lx40")) {
  app_->set_version_flag("--version", ToolText());
  app_->require_subcommand(1);
  entries_.reserve(table.size());
  for (const Subcommand& row : table) {
    const std::string name(row.name);
    const size_t space = name.rfind(' ');
    CLI::App* parent = app_.get();
    if (space != std::string::npos) {
      const std::string group = name.substr(0, space);
      parent = nullptr;
      for (const Entry& entry : entries_) {
        if (entry.name == group && entry.run == nullptr) parent = entry.app;
      }
      if (parent == nullptr) {
        throw std::logic_error("lx40: subcommand '" + name + "' comes before its group's row");
      }
    }
    CLI::App* app = parent->add_subcommand(name.substr(space + 1), std::string(row.help));
    if (row.define == nullptr) app->require_subcommand(1);
    entries_.push_back(Entry{name, app, row.define != nullptr ? row.define(*app) : nullptr});
  }
}

CommandLine::~CommandLine() = default;

std::optional<int> CommandLine::Parse(int argc, char** argv) {
  parsed_ = nullptr;
  for (Entry& entry : entries_) {
    if (entry.run != nullptr) entry.run->Reset();
  }
  app_->clear();
  try {
    app_->parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app_->exit(e);
    return status == 0 ? kExitOk : kExitBadInput;
  }
  // require_subcommand(1) at every level: exactly one leaf was parsed.
  for (const Entry& entry : entries_) {
    if (entry.run != nullptr && entry.app->parsed()) parsed_ = &entry;
  }
  if (parsed_ == nullptr) return kExitBadInput;
  return std::nullopt;
}

std::string_view CommandLine::Parsed() const {
  return parsed_ != nullptr ? std::string_view(parsed_->name) : std::string_view();
}

const CommandRun* CommandLine::ParsedRun() const {
  return parsed_ != nullptr ? parsed_->run.get() : nullptr;
}

int CommandLine::Run() const {
  return parsed_ != nullptr ? parsed_->run->Run() : static_cast<int>(kExitBadInput);
}

}  // namespace lx40
