// What the tests of hung and pulled-out meters share: how long a run may
// take before it counts as waiting on a gone meter, how densely the sweeps
// over every exchange are taken, and a meter by serial number.
#ifndef LX40_TESTS_SUPPORT_METER_GONE_SWEEP_H
#define LX40_TESTS_SUPPORT_METER_GONE_SWEEP_H

#include <chrono>
#include <string>

#include "meter/meter_config.h"

namespace meter_gone {

// Far below the minutes a hung meter costs when every record waits out the
// read limit (about 780 records); far above a run that sees the hang at the
// third empty answer.
inline constexpr std::chrono::seconds kNoLongWait{60};

// Every point natively; every few points, spread over the whole run, under
// the sanitizers and Wine, so CI time stays reasonable.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(_WIN32)
inline constexpr int kSweepStride = 7;
#else
inline constexpr int kSweepStride = 1;
#endif

inline usbsim::MeterConfig Meter(const std::string& serial) {
  usbsim::MeterConfig config;
  config.serial = serial;
  return config;
}

}  // namespace meter_gone

#endif
