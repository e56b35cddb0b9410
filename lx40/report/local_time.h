// The times a report is asked for and grouped by: the computer's local
// time, or UTC with --utc. Record times are UTC (record_time.h).
#ifndef LX40_LX40_REPORT_LOCAL_TIME_H
#define LX40_LX40_REPORT_LOCAL_TIME_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lx40::records {

// A time given on the command line: "YYYY-MM-DD", then optionally "T" or a
// space and "HH:MM", ":SS", a fraction, and a final "Z" (UTC whatever
// `utc` says). Local time unless `utc`. Milliseconds since 1970-01-01 UTC;
// nothing when the text is not such a time.
std::optional<int64_t> ParseTimeArgument(std::string_view text, bool utc);

// The day ("2026-03-14") and hour ("2026-03-14 09:00") a record time falls
// in. The calendar is looked up once per quarter of an hour of record
// time: every time zone's offset is a whole number of quarters.
class CalendarLabels {
 public:
  explicit CalendarLabels(bool utc) : utc_(utc) {}
  std::string_view Day(int64_t milliseconds);
  std::string_view Hour(int64_t milliseconds);

 private:
  void LookUp(int64_t milliseconds);

  const bool utc_;
  int64_t quarter_ = INT64_MIN;
  std::string day_;
  std::string hour_;
};

// A record time as stored: "2026-03-14T09:26:53.589Z".
std::string UtcText(int64_t milliseconds);

}  // namespace lx40::records

#endif
