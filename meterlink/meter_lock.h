// The named lock that keeps two programs from talking to one meter: a lock
// file per meter interface, named from a hash of the interface path, held
// exclusively while the meter is probed or open. Both interfaces take it
// (the device table for each meter it keeps, the handle API for each handle
// and every probe); a meter whose lock is held elsewhere is passed over as if
// it were not attached.
//
// The file is "<dir>/lx40-meter-<hash>.lock", held as lock_file.h says for
// each system. <dir> is LX40_METER_LOCK_DIR when set, else the system's
// default (the temp folder on POSIX; on Windows %ProgramData%\LX40\locks,
// one folder for every user and session of the PC).
// Internal to the library.
#ifndef LX40_METERLINK_METER_LOCK_H
#define LX40_METERLINK_METER_LOCK_H

#include <cstdint>
#include <string>
#include <utility>

namespace meterlink {

class MeterLock {
 public:
  MeterLock() = default;
  ~MeterLock() { Release(); }
  MeterLock(MeterLock&& other) noexcept
      : handle_(other.handle_), path_(std::move(other.path_)), failure_(std::move(other.failure_)) {
    other.handle_ = kNone;
  }
  MeterLock& operator=(MeterLock&& other) noexcept;
  MeterLock(const MeterLock&) = delete;
  MeterLock& operator=(const MeterLock&) = delete;

  enum class Outcome {
    kTaken,
    kHeld,    // another holder has it
    kFailed,  // the lock file could not be opened or made: failure() says why
  };
  // Takes the lock of the meter at `interfacePath` without waiting.
  Outcome Take(const std::string& interfacePath);
  // Take, true only for kTaken.
  bool TryTake(const std::string& interfacePath) { return Take(interfacePath) == Outcome::kTaken; }
  void Release();
  bool held() const { return handle_ != kNone; }
  // After kFailed: "<lock file>: <the system's reason>".
  const std::string& failure() const { return failure_; }

  // The lock file's path for an interface path (for tests and diagnostics).
  static std::string LockFilePath(const std::string& interfacePath);

 private:
  static constexpr intptr_t kNone = -1;  // lock_file::kNone
  intptr_t handle_ = kNone;              // the held lock file (lock_file::TryLock)
  std::string path_;                     // the lock file's path while held
  std::string failure_;
};

}  // namespace meterlink

#endif
