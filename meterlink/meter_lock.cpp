#include "meter_lock.h"

#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#include <process.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace meterlink {
namespace {

// FNV-1a, 64 bits: a stable file name for any interface path.
uint64_t HashPath(const std::string& path) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (const char c : path) {
    hash ^= static_cast<uint8_t>(c);
    hash *= 0x100000001b3ull;
  }
  return hash;
}

std::string LockDirectory() {
  if (const char* dir = std::getenv("LX40_METER_LOCK_DIR"); dir != nullptr && dir[0] != '\0') {
    return dir;
  }
#if defined(_WIN32)
  char temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(sizeof temp, temp);
  if (length == 0 || length > MAX_PATH) return ".";
  std::string dir(temp, length);
  if (!dir.empty() && (dir.back() == '\\' || dir.back() == '/')) dir.pop_back();
  return dir;
#else
  const char* dir = std::getenv("TMPDIR");
  return dir != nullptr && dir[0] != '\0' ? dir : "/tmp";
#endif
}

// A simulated bus lives inside one program, so its meters are that
// program's alone: without LX40_METER_LOCK_DIR their lock names carry the
// process id, and programs (test runs side by side) never take each other's
// locks for meters that only look alike.
bool PerProcessNames() {
#if defined(LX40_METER_LOCK_PER_PROCESS)
  const char* dir = std::getenv("LX40_METER_LOCK_DIR");
  return dir == nullptr || dir[0] == '\0';
#else
  return false;
#endif
}

long ProcessId() {
#if defined(_WIN32)
  return static_cast<long>(_getpid());
#else
  return static_cast<long>(::getpid());
#endif
}

}  // namespace

std::string MeterLock::LockFilePath(const std::string& interfacePath) {
  char name[64];
  const unsigned long long hash = HashPath(interfacePath);
  if (PerProcessNames()) {
    std::snprintf(name, sizeof name, "lx40-meter-%ld-%016llx.lock", ProcessId(), hash);
  } else {
    std::snprintf(name, sizeof name, "lx40-meter-%016llx.lock", hash);
  }
#if defined(_WIN32)
  return LockDirectory() + "\\" + name;
#else
  return LockDirectory() + "/" + name;
#endif
}

MeterLock& MeterLock::operator=(MeterLock&& other) noexcept {
  if (this != &other) {
    Release();
    handle_ = other.handle_;
    path_ = std::move(other.path_);
    other.handle_ = kNone;
  }
  return *this;
}

bool MeterLock::TryTake(const std::string& interfacePath) {
  Release();
  const std::string path = LockFilePath(interfacePath);
#if defined(_WIN32)
  // No sharing: a second open, in this program or another, fails while the
  // file is open here. The file goes when the last handle closes.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  handle_ = reinterpret_cast<intptr_t>(file);
  return true;
#else
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  handle_ = fd;
  path_ = path;
  return true;
#endif
}

void MeterLock::Release() {
  if (handle_ == kNone) return;
#if defined(_WIN32)
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
#else
  // A per-process name is this program's alone: its file can go. A shared
  // one stays (removing it could race with a program that just opened it).
  if (PerProcessNames()) ::unlink(path_.c_str());
  ::close(static_cast<int>(handle_));  // closing the descriptor drops its flock
#endif
  handle_ = kNone;
}

}  // namespace meterlink
