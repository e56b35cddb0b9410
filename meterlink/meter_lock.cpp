#include "meter_lock.h"

#include <cstdio>
#include <cstdlib>

#include "lock_file.h"

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

const char* NamedLockDirectory() {
  const char* dir = std::getenv("LX40_METER_LOCK_DIR");
  return dir != nullptr && dir[0] != '\0' ? dir : nullptr;
}

std::string LockDirectory() {
  const char* named = NamedLockDirectory();
  return named != nullptr ? named : lock_file::DefaultFolder();
}

// A simulated bus lives inside one program, so its meters are that
// program's alone: without LX40_METER_LOCK_DIR their lock names carry the
// process id, and programs (test runs side by side) never take each other's
// locks for meters that only look alike.
bool PerProcessNames() {
#if defined(LX40_METER_LOCK_PER_PROCESS)
  return NamedLockDirectory() == nullptr;
#else
  return false;
#endif
}

}  // namespace

std::string MeterLock::LockFilePath(const std::string& interfacePath) {
  char name[64];
  const unsigned long long hash = HashPath(interfacePath);
  if (PerProcessNames()) {
    std::snprintf(name, sizeof name, "lx40-meter-%ld-%016llx.lock", lock_file::ProcessId(), hash);
  } else {
    std::snprintf(name, sizeof name, "lx40-meter-%016llx.lock", hash);
  }
  return LockDirectory() + lock_file::PathSeparator() + name;
}

MeterLock& MeterLock::operator=(MeterLock&& other) noexcept {
  if (this != &other) {
    Release();
    handle_ = other.handle_;
    path_ = std::move(other.path_);
    failure_ = std::move(other.failure_);
    other.handle_ = kNone;
  }
  return *this;
}

MeterLock::Outcome MeterLock::Take(const std::string& interfacePath) {
  Release();
  failure_.clear();
  // The default folder is made on first use; a named one must be there (a
  // missing one is reported by the open below).
  if (NamedLockDirectory() == nullptr && !lock_file::MakeDefaultFolder(failure_)) {
    return Outcome::kFailed;
  }
  const std::string path = LockFilePath(interfacePath);
  const intptr_t held = lock_file::TryLock(path, failure_);
  if (held == lock_file::kNone) return failure_.empty() ? Outcome::kHeld : Outcome::kFailed;
  handle_ = held;
  path_ = path;
  return Outcome::kTaken;
}

void MeterLock::Release() {
  if (handle_ == kNone) return;
  // A per-process name is this program's alone: its file can go. A shared
  // one stays (removing it could race with a program that just opened it).
  lock_file::Unlock(handle_, path_, PerProcessNames());
  handle_ = kNone;
}

}  // namespace meterlink
