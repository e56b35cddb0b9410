// The meter lock's file on POSIX systems: flock() on a file in the temp
// folder.
#include "lock_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

namespace meterlink::lock_file {

std::string TempFolder() {
  const char* dir = std::getenv("TMPDIR");
  return dir != nullptr && dir[0] != '\0' ? dir : "/tmp";
}

char PathSeparator() { return '/'; }

long ProcessId() { return static_cast<long>(::getpid()); }

intptr_t TryLock(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return kNone;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return kNone;
  }
  return fd;
}

void Unlock(intptr_t held, const std::string& path, bool remove) {
  if (remove) ::unlink(path.c_str());
  ::close(static_cast<int>(held));  // closing the descriptor drops its flock
}

}  // namespace meterlink::lock_file
