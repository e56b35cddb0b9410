// The station's name and UTC calendar time on Windows.
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

}  // namespace lx40::platform
