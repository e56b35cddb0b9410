#include "subcommands.h"

#include "command_history.h"
#include "command_info.h"
#include "command_list.h"
#include "command_measure.h"
#include "command_report.h"
#include "command_setup.h"
#include "command_station.h"
#include "station_page.h"
#include "command_table.h"

namespace lx40 {

namespace {

// One row per subcommand (subcommand.h says how to add one).
const Subcommand kSubcommands[] = {
    {"list", "List every attached meter", BindOptions<ListOptions, AddListOptions, RunListCommand>},
    {"setup", "Write the sensor data tables into every meter (or the named ones) at once",
     BindOptions<SetupOptions, AddSetupOptions, RunSetupCommand>},
    {"station", "Set up every meter plugged into the station, bay by bay, until stopped",
     BindOptions<station::StationOptions, station::AddStationOptions, page::RunStationWithPage>},
    {"info", "Show one meter's identity and settings",
     BindOptions<InfoOptions, AddInfoOptions, RunInfoCommand>},
    {"measure", "Take readings from one meter",
     BindOptions<MeasureOptions, AddMeasureOptions, RunMeasureCommand>},
    {"table", "Check or export sensor data table files", nullptr},
    {"table check", "Validate a table file",
     BindOptions<TableCheckOptions, AddTableCheckOptions, RunTableCheckCommand>},
    {"table export", "Write a built-in table (8010 or 8011) to a file",
     BindOptions<TableExportOptions, AddTableExportOptions, RunTableExportCommand>},
    {"history", "Show every record of one meter across record files, oldest first",
     BindOptions<HistoryOptions, AddHistoryOptions, RunHistoryCommand>},
    {"report", "Sum up record files: units, results, failure rates, unit times, per group",
     BindOptions<ReportOptions, AddReportOptions, RunReportCommand>},
};

}  // namespace

std::span<const Subcommand> Subcommands() { return kSubcommands; }

}  // namespace lx40
