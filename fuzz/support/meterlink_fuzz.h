// What the fuzz targets that drive Meterlink over the simulated bus share.
//
// The meters' lock files in memory: Meterlink keeps a lock file per meter
// while it probes or holds one (LX40_METER_LOCK_DIR, else the temp folder).
// On a disk that is a file created and removed several times per fuzz
// input, which costs more than the rest of the input; in memory (/dev/shm)
// it costs microseconds. This header defines the target's
// LLVMFuzzerInitialize to set that up (include it in one source of the
// target): a folder given by the caller is kept, a folder made here goes at
// exit.
//
// The input's bus (InputBus): emptied, with one root hub, when an input
// starts, and emptied again when it is done.
#ifndef LX40_FUZZ_SUPPORT_METERLINK_FUZZ_H
#define LX40_FUZZ_SUPPORT_METERLINK_FUZZ_H

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "bus/sim_bus.h"
#include "sim_bus_setup.h"

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

// One input's simulated bus: a root hub of kPorts ports on an emptied bus
// while the input runs; nothing of it outlives the input.
class InputBus {
 public:
  static constexpr int kPorts = 4;
  InputBus() : root_(sim_setup::EmptyBusWithRootHub(kPorts)) {}
  ~InputBus() { Bus().Reset(); }
  InputBus(const InputBus&) = delete;
  InputBus& operator=(const InputBus&) = delete;

  usbsim::NodeId root() const { return root_; }
  static usbsim::Bus& Bus() { return usbsim::Bus::Instance(); }

 private:
  const usbsim::NodeId root_;
};

}  // namespace fuzzsupport

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsupport::PutMeterLocksInMemory();
  return 0;
}

#endif
