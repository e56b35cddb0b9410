// The times of record lines: UTC, ISO 8601 ("2026-03-14T09:26:53.589Z"),
// as milliseconds since 1970-01-01 UTC, without the C library (the same
// answer on every system, for any date).
#ifndef LX40_LX40_REPORT_RECORD_TIME_H
#define LX40_LX40_REPORT_RECORD_TIME_H

#include <cstdint>
#include <optional>
#include <string_view>

namespace lx40::records {

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day);

// The calendar of a number of days since 1970-01-01.
struct CivilDate {
  int64_t year;
  unsigned month;
  unsigned day;
};
CivilDate CivilFromDays(int64_t days);

// "YYYY-MM-DDTHH:MM:SS" with an optional fraction of 1 to 9 digits and a
// final "Z". Nothing when the text is not such a time or a field is out of
// range.
std::optional<int64_t> ParseUtcTimestamp(std::string_view text);

}  // namespace lx40::records

#endif
