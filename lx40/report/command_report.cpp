#include "command_report.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "exit_status.h"
#include "local_time.h"
#include "record_files.h"
#include "report_builder.h"
#include "report_output.h"

namespace lx40 {

namespace {

constexpr const char* kGroupNames = "day, hour, station, bay, operator, work-order, lot, result";

std::string Footer() {
  return std::string(
             "Every record line of the files is read as a stream; a line that is not a record "
             "(torn, not JSON, keys missing or of a newer version, over 256 KiB) is skipped and "
             "counted on stderr, blank lines are not. Records without bay, operator, work order "
             "or lot count under \"-\". The failure rate is failed units over all units. Median "
             "and 95th percentile unit times (finished minus started) come from a histogram of "
             "logarithmic buckets, within 1.1% of the true values. Memory grows with the "
             "groups and the distinct failure messages, and with --duplicates with the distinct "
             "serial numbers set. ") +
         std::string(records::OutlierRule());
}

}  // namespace

void AddReportOptions(CLI::App& app, ReportOptions& options) {
  app.add_option("--record", options.record_files, "A record file to read (repeatable)")
      ->required();
  app.add_option("--since", options.since,
                 "Only records started at or after TIME (YYYY-MM-DD[ HH:MM[:SS]], local time)");
  app.add_option("--until", options.until, "Only records started before TIME");
  app.add_option("--by", options.by, std::string("Group by one of: ") + kGroupNames)
      ->check(CLI::IsMember(
          {"day", "hour", "station", "bay", "operator", "work-order", "lot", "result"}));
  app.add_flag("--utc", options.utc,
               "Times (--since, --until, days and hours) in UTC, not local time");
  CLI::Option* json = app.add_flag("--json", options.json, "The report as one JSON document");
  app.add_flag("--csv", options.csv, "The groups as CSV")->excludes(json);
  app.add_flag("--duplicates", options.duplicates,
               "Also list the serial numbers set more than once, with where and when");
  app.footer(Footer());
}

int RunReportCommand(const ReportOptions& options) {
  records::ReportRequest request;
  request.utc = options.utc;
  request.duplicates = options.duplicates;
  if (!options.by.empty()) {
    const auto by = records::GroupByFromName(options.by);
    if (!by) {
      std::fprintf(stderr, "lx40: --by takes one of: %s\n", kGroupNames);
      return kExitBadInput;
    }
    request.by = *by;
  }
  for (const auto& [text, bound] :
       {std::pair{&options.since, &request.since}, std::pair{&options.until, &request.until}}) {
    if (text->empty()) continue;
    *bound = records::ParseTimeArgument(*text, options.utc);
    if (!*bound) {
      std::fprintf(stderr,
                   "lx40: not a time: %s (YYYY-MM-DD, YYYY-MM-DD HH:MM or YYYY-MM-DDTHH:MM:SS)\n",
                   text->c_str());
      return kExitBadInput;
    }
  }
  if (!records::CheckRecordFiles(options.record_files)) return kExitBadInput;
  records::ReportBuilder builder(request);
  records::ReadFigures read;
  read.files = options.record_files.size();
  const bool all = records::ReadRecordFiles(
      options.record_files, {},
      [&builder](const records::RecordView& record, std::string_view) { builder.Add(record); },
      &read.records, &read.skipped);
  if (!all) return kExitBadInput;
  const records::Report report = builder.Finish();
  if (options.json) {
    records::PrintReportJson(stdout, report, read);
  } else if (options.csv) {
    records::PrintReportCsv(stdout, report);
  } else {
    records::PrintReportText(stdout, report, read);
  }
  std::fflush(stdout);
  return kExitOk;
}

}  // namespace lx40
