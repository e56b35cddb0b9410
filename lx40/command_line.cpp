#include "command_line.h"

#include <CLI/CLI.hpp>
#include <memory>

#include "exit_status.h"

#ifndef LX40_VERSION_TEXT
#define LX40_VERSION_TEXT "unknown"
#endif

namespace lx40 {

CommandLine::CommandLine()
    : app_(std::make_unique<CLI::App>(
          "lx40: sets up LX40 optical power meters, many at a time, with a record of each",
          "lx40")) {
  app_->set_version_flag("--version", std::string("lx40 ") + LX40_VERSION_TEXT);
  app_->require_subcommand(1);

  list_ = app_->add_subcommand("list", "List every attached meter");
  list_->add_flag("--json", options_.json, "One JSON object per meter and line");

  setup_ = app_->add_subcommand(
      "setup", "Write the sensor data tables into every meter (or the named ones) at once");
  setup_->add_option("SERIAL", options_.serials, "Only these meters (whole serial numbers)");
  setup_->add_option("--table", options_.table_files,
                     "A table file to write instead of the built-in tables (repeatable)");
  setup_->add_option("--jobs", options_.jobs, "Meters worked on at a time (default: all)")
      ->check(CLI::Range(1, 1024));
  setup_->add_option("--record", options_.record_file,
                     "Append one JSON line per meter to this file");
  setup_->add_flag("--json", options_.json,
                   "Print each meter's record line on stdout; progress goes to stderr");

  info_ = app_->add_subcommand("info", "Show one meter's identity and settings");
  info_->add_option("SERIAL", info_serial_, "The meter's serial number")->required();
  info_->add_flag("--json", options_.json, "One JSON object");

  measure_ = app_->add_subcommand("measure", "Take readings from one meter");
  measure_->add_option("SERIAL", measure_serial_, "The meter's serial number")->required();
  measure_->add_option("--count", options_.count, "Number of readings (default 1)")
      ->check(CLI::Range(1, 1000000));
  measure_
      ->add_option("--interval", options_.interval_ms,
                   "Milliseconds between readings (default 1000)")
      ->check(CLI::Range(0, 3600000));
  CLI::Option* measure_json = measure_->add_flag("--json", options_.json, "JSON Lines");
  CLI::Option* measure_csv = measure_->add_flag("--csv", options_.csv, "Comma-separated values");
  measure_json->excludes(measure_csv);

  CLI::App* table = app_->add_subcommand("table", "Check or export sensor data table files");
  table->require_subcommand(1);
  check_ = table->add_subcommand("check", "Validate a table file");
  check_->add_option("FILE", options_.file, "The table file")->required();
  export_table_ =
      table->add_subcommand("export", "Write a built-in table (8010 or 8011) to a file");
  export_table_->add_option("TYPE", options_.type_code, "Sensor type code of the table")
      ->required()
      ->check(CLI::IsMember({8010, 8011}));
  export_table_->add_option("FILE", options_.file, "The file to write")->required();
}

CommandLine::~CommandLine() = default;

std::optional<int> CommandLine::Parse(int argc, char** argv) {
  // The bound variables keep their addresses; only their values start anew.
  options_ = Options{};
  info_serial_.clear();
  measure_serial_.clear();
  app_->clear();
  try {
    app_->parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app_->exit(e);
    return status == 0 ? kExitOk : kExitBadInput;
  }

  if (list_->parsed()) options_.command = Command::kList;
  if (setup_->parsed()) options_.command = Command::kSetup;
  if (info_->parsed()) {
    options_.command = Command::kInfo;
    options_.serials = {info_serial_};
  }
  if (measure_->parsed()) {
    options_.command = Command::kMeasure;
    options_.serials = {measure_serial_};
  }
  if (check_->parsed()) options_.command = Command::kTableCheck;
  if (export_table_->parsed()) options_.command = Command::kTableExport;
  return std::nullopt;
}

std::optional<int> ParseCommandLine(int argc, char** argv, Options* options) {
  CommandLine command_line;
  const std::optional<int> done = command_line.Parse(argc, argv);
  *options = command_line.options();
  return done;
}

}  // namespace lx40
