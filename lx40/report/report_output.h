// A report as a table on the terminal (device text escaped as \xNN), as
// one JSON document (texts as stored) or as CSV (one row per group).
#ifndef LX40_LX40_REPORT_REPORT_OUTPUT_H
#define LX40_LX40_REPORT_REPORT_OUTPUT_H

#include <cstdint>
#include <cstdio>
#include <string>

#include "report_builder.h"

namespace lx40::records {

// What was read: records, and lines skipped as not records.
struct ReadFigures {
  uint64_t files = 0;
  uint64_t records = 0;
  uint64_t skipped = 0;
};

// A group's name as shown: escaped device text; "STATION/BAY" for --by bay.
std::string GroupLabel(const GroupFigures& group, GroupBy by);

// A unit time as shown: "850 ms", "41.2 s"; "-" when there is none.
std::string DurationText(std::optional<double> milliseconds);

void PrintReportText(std::FILE* out, const Report& report, const ReadFigures& read);
void PrintReportJson(std::FILE* out, const Report& report, const ReadFigures& read);
void PrintReportCsv(std::FILE* out, const Report& report);

}  // namespace lx40::records

#endif
