// Another program holding a meter: takes Meterlink's lock of the interface
// path given as its argument, says "held" (or why not) on stdout, and keeps
// the lock until its stdin ends. The lock tests start it to stand for a
// second program beside them.
#include <cstdio>
#include <string>

#include "meter_lock.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: lock_holder INTERFACE_PATH\n");
    return 2;
  }
  meterlink::MeterLock lock;
  switch (lock.Take(argv[1])) {
    case meterlink::MeterLock::Outcome::kTaken:
      std::printf("held\n");
      break;
    case meterlink::MeterLock::Outcome::kHeld:
      std::printf("busy\n");
      return 1;
    case meterlink::MeterLock::Outcome::kFailed:
      std::printf("failed %s\n", lock.failure().c_str());
      return 1;
  }
  std::fflush(stdout);
  // Until the starter closes our stdin (or ends).
  while (std::getchar() != EOF) {
  }
  return 0;
}
