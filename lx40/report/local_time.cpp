#include "local_time.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform.h"
#include "record_time.h"

namespace lx40::records {

namespace {

constexpr int64_t kQuarterMs = 15 * 60 * 1000;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

bool TwoDigits(std::string_view text, size_t at, int* value) {
  if (at + 2 > text.size() || text[at] < '0' || text[at] > '9' || text[at + 1] < '0' ||
      text[at + 1] > '9')
    return false;
  *value = (text[at] - '0') * 10 + (text[at + 1] - '0');
  return true;
}

}  // namespace

std::optional<int64_t> ParseTimeArgument(std::string_view text, bool utc) {
  if (!text.empty() && text.back() == 'Z') {
    utc = true;
    text.remove_suffix(1);
  }
  // Completed to a stored record time and read as one.
  std::string full(text);
  if (full.size() == 10) full += "T00:00";
  if (full.size() > 10 && full[10] == ' ') full[10] = 'T';
  if (full.size() == 16) full += ":00";
  full += "Z";
  const std::optional<int64_t> as_utc = ParseUtcTimestamp(full);
  if (!as_utc || utc) return as_utc;
  // Local: the calendar fields through mktime, which knows the time zone.
  std::tm local{};
  int hour = 0, minute = 0, second = 0;
  local.tm_year = std::atoi(full.substr(0, 4).c_str()) - 1900;
  TwoDigits(full, 5, &local.tm_mon);
  local.tm_mon -= 1;
  TwoDigits(full, 8, &local.tm_mday);
  TwoDigits(full, 11, &hour);
  TwoDigits(full, 14, &minute);
  TwoDigits(full, 17, &second);
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  const std::time_t seconds = std::mktime(&local);
  if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
  const int64_t millis = *as_utc - FloorDiv(*as_utc, 1000) * 1000;
  return static_cast<int64_t>(seconds) * 1000 + millis;
}

void CalendarLabels::LookUp(int64_t milliseconds) {
  const int64_t quarter = FloorDiv(milliseconds, kQuarterMs);
  if (quarter == quarter_) return;
  quarter_ = quarter;
  int64_t year = 0;
  unsigned month = 0, day = 0, hour = 0;
  std::tm local{};
  const auto seconds = static_cast<std::time_t>(FloorDiv(milliseconds, 1000));
  if (!utc_ && platform::LocalCalendarTime(seconds, &local)) {
    year = local.tm_year + 1900;
    month = static_cast<unsigned>(local.tm_mon + 1);
    day = static_cast<unsigned>(local.tm_mday);
    hour = static_cast<unsigned>(local.tm_hour);
  } else {
    const int64_t days = FloorDiv(milliseconds, 86400000);
    const CivilDate date = CivilFromDays(days);
    year = date.year;
    month = date.month;
    day = date.day;
    hour = static_cast<unsigned>((milliseconds - days * 86400000) / 3600000);
  }
  char text[48];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02u", static_cast<long long>(year), month, day);
  day_ = text;
  std::snprintf(text, sizeof text, "%s %02u:00", day_.c_str(), hour);
  hour_ = text;
}

std::string_view CalendarLabels::Day(int64_t milliseconds) {
  LookUp(milliseconds);
  return day_;
}

std::string_view CalendarLabels::Hour(int64_t milliseconds) {
  LookUp(milliseconds);
  return hour_;
}

std::string UtcText(int64_t milliseconds) {
  const int64_t days = FloorDiv(milliseconds, 86400000);
  const int64_t in_day = milliseconds - days * 86400000;
  const CivilDate date = CivilFromDays(days);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lld.%03lldZ",
                static_cast<long long>(date.year), date.month, date.day,
                static_cast<long long>(in_day / 3600000),
                static_cast<long long>(in_day / 60000 % 60),
                static_cast<long long>(in_day / 1000 % 60), static_cast<long long>(in_day % 1000));
  return text;
}

}  // namespace lx40::records
