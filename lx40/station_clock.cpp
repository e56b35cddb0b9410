#include "station_clock.h"

#include <cstdio>
#include <ctime>

#include "platform.h"

namespace lx40 {

std::string StationName() { return platform::ComputerName(); }

std::string UtcTimestamp(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const auto since_epoch = duration_cast<milliseconds>(when.time_since_epoch());
  const auto seconds = floor<std::chrono::seconds>(since_epoch);
  const long long millis = (since_epoch - seconds).count();
  const std::time_t time = static_cast<std::time_t>(seconds.count());
  std::tm utc{};
  platform::UtcCalendarTime(time, &utc);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03lldZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
  return text;
}

}  // namespace lx40
