// What the virtual meter measures: the optical input on its sensor, the
// correction of a loaded sensor data table, the range limits that give the
// marks, the hold function and the reading text of "GET_MESRDATA".
//
// Displayed power (mW) = input power x coefficient of the table that covers
// the meter's wavelength (1 when none does). The marks are judged on the
// displayed power, in this order: N no sensor; L the light's wavelength is
// outside the sensor's range (the sensor sees nothing); O above the
// overload limit; H above the range's full scale (AUTO: the highest range,
// +10 dBm; MANU: the manual range); L below the range's floor (AUTO: the
// sensor's floor; MANU: 50 dB below full scale, not below the sensor's
// floor) or not above zero.
#ifndef LX40_USBHOST_SIM_METER_METER_MEASUREMENT_H
#define LX40_USBHOST_SIM_METER_METER_MEASUREMENT_H

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "meter/meter_settings.h"

namespace usbsim {

struct SensorConfig {
  bool present = true;                             // false: "NO_SENSER", readings marked N
  std::string description = "LS-8010 300-1700NM";  // the answer to "GET_SENSER"
  int32_t min_nm = 300;                            // wavelengths the sensor accepts
  int32_t max_nm = 1700;
  double overload_mw = 20.0;  // above it: mark O
  double floor_mw = 1e-7;     // below it: mark L (-70 dBm)
};

struct OpticalInput {
  double power_mw = 0.1;  // -10 dBm
  int32_t wavelength_nm = 1310;
};

enum class ReadingMark : char { kNone = 0, kHigh = 'H', kLow = 'L', kOver = 'O', kNoSensor = 'N' };

struct Measurement {
  ReadingMark mark = ReadingMark::kNone;
  double milliwatts = 0.0;  // the displayed power when unmarked
};

// One measurement of the input as the meter would display it.
Measurement Measure(const SensorConfig& sensor, const OpticalInput& input,
                    const MeterSettings& settings, double coefficient);

// The hold function over the readings taken since it was (re)started: the
// maximum, the minimum or the mean of the last `averaging` readings.
class HoldState {
 public:
  void Restart() {
    max_.reset();
    min_.reset();
    samples_.clear();
  }
  // Takes an unmarked reading and returns what the hold mode shows.
  double Take(HoldMode mode, int32_t averaging, double milliwatts);

 private:
  std::optional<double> max_;
  std::optional<double> min_;
  std::deque<double> samples_;
};

// The reading text of a measurement in the current unit and relative mode:
// ABS and DB: dBm; ABS and W: mW; REL0 or REL1: dB against the relative
// reference. A power the seven characters cannot hold is marked H or L.
std::string ReadingText(const Measurement& measurement, const MeterSettings& settings);

// The absolute reading in the current unit (no relative mode), as SET_REL0
// takes it for the reference. Empty for a marked measurement.
std::optional<std::string> AbsoluteReadingText(const Measurement& measurement, PowerUnit unit);

}  // namespace usbsim

#endif
