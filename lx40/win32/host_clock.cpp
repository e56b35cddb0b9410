// The station's name and calendar time (UTC and local) on Windows.
#include <windows.h>

#include "platform.h"

namespace lx40::platform {

std::string ComputerName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  if (!GetComputerNameA(name, &size)) return {};
  return std::string(name, size);
}

bool UtcCalendarTime(std::time_t time, std::tm* utc) { return gmtime_s(utc, &time) == 0; }

bool LocalCalendarTime(std::time_t time, std::tm* local) { return localtime_s(local, &time) == 0; }

}  // namespace lx40::platform
