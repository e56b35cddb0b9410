#include "meter/meter_measurement.h"

#include <algorithm>
#include <cmath>

#include "meter/meter_reading.h"

namespace usbsim {

namespace {

// The manual range's floor lies this far below its full scale.
constexpr double kManualRangeSpanDb = 50.0;

double DbmToMilliwatts(double dbm) { return std::pow(10.0, dbm / 10.0); }

double MilliwattsToDb(double milliwatts) { return 10.0 * std::log10(milliwatts); }

}  // namespace

Measurement Measure(const SensorConfig& sensor, const OpticalInput& input,
                    const MeterSettings& settings, double coefficient) {
  if (!sensor.present) return {ReadingMark::kNoSensor, 0.0};
  if (input.wavelength_nm < sensor.min_nm || input.wavelength_nm > sensor.max_nm) {
    return {ReadingMark::kLow, 0.0};
  }
  const double shown = input.power_mw * coefficient;
  if (!std::isfinite(shown)) return {ReadingMark::kOver, 0.0};
  if (shown > sensor.overload_mw) return {ReadingMark::kOver, 0.0};

  const bool manual = settings.range_mode == RangeMode::kManual;
  const double top = DbmToMilliwatts(manual ? settings.range_dbm : kHighestRangeDbm);
  const double floor =
      manual ? std::max(sensor.floor_mw, DbmToMilliwatts(settings.range_dbm - kManualRangeSpanDb))
             : sensor.floor_mw;
  if (shown > top) return {ReadingMark::kHigh, 0.0};
  if (shown <= 0.0 || shown < floor) return {ReadingMark::kLow, 0.0};
  return {ReadingMark::kNone, shown};
}

double HoldState::Take(HoldMode mode, int32_t averaging, double milliwatts) {
  switch (mode) {
    case HoldMode::kOff:
      return milliwatts;
    case HoldMode::kMax:
      max_ = max_ ? std::max(*max_, milliwatts) : milliwatts;
      return *max_;
    case HoldMode::kMin:
      min_ = min_ ? std::min(*min_, milliwatts) : milliwatts;
      return *min_;
    case HoldMode::kAve: {
      samples_.push_back(milliwatts);
      const size_t keep = static_cast<size_t>(std::max(averaging, 1));
      while (samples_.size() > keep) samples_.pop_front();
      double sum = 0.0;
      for (const double sample : samples_) sum += sample;
      return sum / static_cast<double>(samples_.size());
    }
  }
  return milliwatts;
}

std::optional<std::string> AbsoluteReadingText(const Measurement& measurement, PowerUnit unit) {
  if (measurement.mark != ReadingMark::kNone) return std::nullopt;
  if (unit == PowerUnit::kDb) return DbReadingText(MilliwattsToDb(measurement.milliwatts));
  return LinearReadingText(measurement.milliwatts);
}

std::string ReadingText(const Measurement& measurement, const MeterSettings& settings) {
  const bool relative = settings.relative != RelativeMode::kAbs;
  const bool db = relative || settings.unit == PowerUnit::kDb;
  if (measurement.mark != ReadingMark::kNone) {
    return MarkedReadingText(static_cast<char>(measurement.mark), db);
  }
  std::optional<std::string> text;
  bool low = false;
  if (relative) {
    // A reference of 0 mW makes every relative reading infinitely high.
    const std::optional<double> reference = ReadingTextMilliwatts(settings.reference);
    if (reference && *reference > 0.0) {
      const double difference = MilliwattsToDb(measurement.milliwatts) - MilliwattsToDb(*reference);
      text = DbReadingText(difference);
      low = difference < 0.0;
    }
  } else {
    text = AbsoluteReadingText(measurement, settings.unit);
    low = measurement.milliwatts < 1.0;
  }
  if (text) return *text;
  // Beyond what the digits hold: over or under the display's range.
  return MarkedReadingText(low ? 'L' : 'H', db);
}

}  // namespace usbsim
