#include "record_time.h"

namespace lx40::records {

namespace {

// `count` digits at `at`; false when one is not a digit.
bool Digits(std::string_view text, size_t at, size_t count, int64_t* value) {
  if (at + count > text.size()) return false;
  int64_t result = 0;
  for (size_t i = at; i < at + count; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    result = result * 10 + (c - '0');
  }
  *value = result;
  return true;
}

bool IsLeap(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

unsigned DaysInMonth(int64_t year, unsigned month) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

}  // namespace

// The algorithms of Howard Hinnant's "chrono-Compatible Low-Level Date
// Algorithms".
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yoe = year - era * 400;
  const int64_t doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

CivilDate CivilFromDays(int64_t days) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t doe = days - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const auto day = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
  const auto month = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
  return {yoe + era * 400 + (month <= 2), month, day};
}

std::optional<int64_t> ParseUtcTimestamp(std::string_view text) {
  int64_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (!Digits(text, 0, 4, &year) || text.size() < 20 || text[4] != '-' ||
      !Digits(text, 5, 2, &month) || text[7] != '-' || !Digits(text, 8, 2, &day) ||
      text[10] != 'T' || !Digits(text, 11, 2, &hour) || text[13] != ':' ||
      !Digits(text, 14, 2, &minute) || text[16] != ':' || !Digits(text, 17, 2, &second)) {
    return std::nullopt;
  }
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, static_cast<unsigned>(month)) ||
      hour > 23 || minute > 59 || second > 60) {
    return std::nullopt;
  }
  size_t at = 19;
  int64_t millis = 0;
  if (text[at] == '.') {
    ++at;
    int scale = 100;
    const size_t first = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - first < 9) {
      millis += (text[at] - '0') * scale;
      scale /= 10;
      ++at;
    }
    if (at == first) return std::nullopt;
  }
  if (at + 1 != text.size() || text[at] != 'Z') return std::nullopt;
  const int64_t days =
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  return ((days * 24 + hour) * 60 + minute) * 60000 + second * 1000 + millis;
}

}  // namespace lx40::records
