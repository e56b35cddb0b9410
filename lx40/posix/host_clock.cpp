// The station's name and calendar time (UTC and local) on POSIX systems.
#include <unistd.h>

#include "platform.h"

namespace lx40::platform {

std::string ComputerName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

bool UtcCalendarTime(std::time_t time, std::tm* utc) { return gmtime_r(&time, utc) != nullptr; }

bool LocalCalendarTime(std::time_t time, std::tm* local) {
  return localtime_r(&time, local) != nullptr;
}

}  // namespace lx40::platform
