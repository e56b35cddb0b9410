// The station's name and UTC calendar time on POSIX systems.
#include <unistd.h>

#include "platform.h"

namespace lx40::platform {

std::string ComputerName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  return name;
}

bool UtcCalendarTime(std::time_t time, std::tm* utc) { return gmtime_r(&time, utc) != nullptr; }

}  // namespace lx40::platform
