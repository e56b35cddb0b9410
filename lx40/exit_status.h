// What lx40 tells its caller through its exit status. Station software
// branches on these numbers, so they never change.
#ifndef LX40_LX40_EXIT_STATUS_H
#define LX40_LX40_EXIT_STATUS_H

namespace lx40 {

enum ExitStatus : int {
  kExitOk = 0,          // every meter set or already set; a table check found no fault
  kExitUnitFailed = 1,  // a meter failed or was cancelled; a table check found a fault
  kExitBadInput = 2,    // bad usage, bad input file, unopenable record file: nothing sent
  kExitNoMeter = 3,     // no meter attached, or a named serial number is not attached
};

}  // namespace lx40

#endif
