// Meterlink keeps a lock file per meter while it probes or holds one
// (LX40_METER_LOCK_DIR, else the temp folder). On a disk that is a file
// created and removed several times per fuzz input, which costs more than
// the rest of the input; in memory (/dev/shm) it costs microseconds. Called
// once from LLVMFuzzerInitialize; a folder given by the caller is kept, a
// folder made here goes at exit.
#ifndef LX40_FUZZ_SUPPORT_MEMORY_LOCK_DIR_H
#define LX40_FUZZ_SUPPORT_MEMORY_LOCK_DIR_H

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fuzzsupport {

inline void PutMeterLocksInMemory() {
  const char* given = std::getenv("LX40_METER_LOCK_DIR");
  if (given != nullptr && given[0] != '\0') return;
  static char dir[] = "/dev/shm/lx40-fuzz-locks-XXXXXX";
  if (::access("/dev/shm", W_OK) != 0 || ::mkdtemp(dir) == nullptr) return;
  ::setenv("LX40_METER_LOCK_DIR", dir, 1);
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  });
}

}  // namespace fuzzsupport

#endif
