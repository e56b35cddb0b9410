// The meter lock's file on POSIX systems: flock() on a file in the temp
// folder.
#include "lock_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace meterlink::lock_file {

std::string DefaultFolder() {
  const char* dir = std::getenv("TMPDIR");
  return dir != nullptr && dir[0] != '\0' ? dir : "/tmp";
}

bool MakeDefaultFolder(std::string& failure) {
  failure.clear();
  return true;  // the temp folder is the system's; a missing one fails the lock's open
}

char PathSeparator() { return '/'; }

long ProcessId() { return static_cast<long>(::getpid()); }

namespace {

std::string Failure(const std::string& path, int error) {
  return path + ": " + std::strerror(error);
}

// flock needs no write access, so an existing file is opened read-only: a
// file another user made is usable as long as it can be read. A symbolic
// link is never followed (ELOOP), so the lock cannot be pointed elsewhere.
int OpenExisting(const std::string& path) {
  return ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
}

// A missing file is made here, and only here (O_EXCL: never an O_CREAT on
// a file another user owns, which protected_regular refuses in a sticky
// folder), then given its mode whatever the umask.
int Create(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd >= 0) (void)::fchmod(fd, 0666);
  return fd;
}

}  // namespace

intptr_t TryLock(const std::string& path, std::string& failure) {
  failure.clear();
  int fd = OpenExisting(path);
  if (fd < 0 && errno == ENOENT) {
    fd = Create(path);
    if (fd < 0 && errno == EEXIST) fd = OpenExisting(path);  // made meanwhile by another
  }
  if (fd < 0) {
    failure = Failure(path, errno);
    return kNone;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    if (error != EWOULDBLOCK) failure = Failure(path, error);
    return kNone;
  }
  return fd;
}

void Unlock(intptr_t held, const std::string& path, bool remove) {
  if (remove) ::unlink(path.c_str());
  ::close(static_cast<int>(held));  // closing the descriptor drops its flock
}

}  // namespace meterlink::lock_file
