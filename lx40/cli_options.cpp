#include "lx40/cli_options.h"

#include <CLI/CLI.hpp>

#include "lx40/exit_status.h"

#ifndef LX40_VERSION_TEXT
#define LX40_VERSION_TEXT "unknown"
#endif

namespace lx40 {

std::optional<int> ParseCommandLine(int argc, char** argv, Options* options) {
  CLI::App app{"lx40: sets up LX40 optical power meters, many at a time, with a record of each",
               "lx40"};
  app.set_version_flag("--version", std::string("lx40 ") + LX40_VERSION_TEXT);
  app.require_subcommand(1);

  CLI::App* list = app.add_subcommand("list", "List every attached meter");
  list->add_flag("--json", options->json, "One JSON object per meter and line");

  CLI::App* setup = app.add_subcommand(
      "setup", "Write the sensor data tables into every meter (or the named ones) at once");
  setup->add_option("SERIAL", options->serials, "Only these meters (whole serial numbers)");
  setup->add_option("--table", options->table_files,
                    "A table file to write instead of the built-in tables (repeatable)");
  setup->add_option("--jobs", options->jobs, "Meters worked on at a time (default: all)")
      ->check(CLI::Range(1, 1024));
  setup->add_option("--record", options->record_file,
                    "Append one JSON line per meter to this file");
  setup->add_flag("--json", options->json,
                  "Print each meter's record line on stdout; progress goes to stderr");

  CLI::App* info = app.add_subcommand("info", "Show one meter's identity and settings");
  std::string info_serial;
  info->add_option("SERIAL", info_serial, "The meter's serial number")->required();
  info->add_flag("--json", options->json, "One JSON object");

  CLI::App* measure = app.add_subcommand("measure", "Take readings from one meter");
  std::string measure_serial;
  measure->add_option("SERIAL", measure_serial, "The meter's serial number")->required();
  measure->add_option("--count", options->count, "Number of readings (default 1)")
      ->check(CLI::Range(1, 1000000));
  measure
      ->add_option("--interval", options->interval_ms,
                   "Milliseconds between readings (default 1000)")
      ->check(CLI::Range(0, 3600000));
  CLI::Option* measure_json = measure->add_flag("--json", options->json, "JSON Lines");
  CLI::Option* measure_csv = measure->add_flag("--csv", options->csv, "Comma-separated values");
  measure_json->excludes(measure_csv);

  CLI::App* table = app.add_subcommand("table", "Check or export sensor data table files");
  table->require_subcommand(1);
  CLI::App* check = table->add_subcommand("check", "Validate a table file");
  check->add_option("FILE", options->file, "The table file")->required();
  CLI::App* export_table =
      table->add_subcommand("export", "Write a built-in table (8010 or 8011) to a file");
  export_table->add_option("TYPE", options->type_code, "Sensor type code of the table")
      ->required()
      ->check(CLI::IsMember({8010, 8011}));
  export_table->add_option("FILE", options->file, "The file to write")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? kExitOk : kExitBadInput;
  }

  if (list->parsed()) options->command = Command::kList;
  if (setup->parsed()) options->command = Command::kSetup;
  if (info->parsed()) {
    options->command = Command::kInfo;
    options->serials = {info_serial};
  }
  if (measure->parsed()) {
    options->command = Command::kMeasure;
    options->serials = {measure_serial};
  }
  if (check->parsed()) options->command = Command::kTableCheck;
  if (export_table->parsed()) options->command = Command::kTableExport;
  return std::nullopt;
}

}  // namespace lx40
