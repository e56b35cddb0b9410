#include "station_clock.h"

#include <cstdio>
#include <ctime>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace lx40 {

std::string StationName() {
#ifdef _WIN32
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  if (!GetComputerNameA(name, &size)) return {};
  return std::string(name, size);
#else
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
#endif
}

std::string UtcTimestamp(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const auto since_epoch = duration_cast<milliseconds>(when.time_since_epoch());
  const auto seconds = floor<std::chrono::seconds>(since_epoch);
  const long long millis = (since_epoch - seconds).count();
  const std::time_t time = static_cast<std::time_t>(seconds.count());
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &time);
#else
  gmtime_r(&time, &utc);
#endif
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03lldZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
  return text;
}

}  // namespace lx40
