// The virtual meter's measurement and settings commands: mode, wavelength
// and wavelength list, relative reference, range, averaging, auto power
// save, sensor, reading and the two resets.
//
// Refusals: "DATA_ERR" for a missing, malformed or out-of-range parameter;
// "WAVE_ERR" for a wavelength outside the sensor's range; "MODE_ERR" for a
// setting the current mode does not allow (a manual range while the range
// mode is AUTO; a relative mode together with the unit W, since relative
// readings are in dB; a relative reference taken from a marked reading);
// "NO_SENSER" when the command needs the sensor and there is none. A query
// given parameters it does not take is "CMD_ERR", as for every command.
#include <string>
#include <vector>

#include "meter/meter_coefficients.h"
#include "meter/meter_numbers.h"
#include "meter/meter_reading.h"
#include "meter/virtual_meter.h"

namespace usbsim {

namespace {

constexpr std::string_view kOk = "OK";
constexpr std::string_view kCommandError = "CMD_ERR";
constexpr std::string_view kDataError = "DATA_ERR";
constexpr std::string_view kModeError = "MODE_ERR";
constexpr std::string_view kWaveError = "WAVE_ERR";
constexpr std::string_view kNoSensor = "NO_SENSER";

// The digits of the wavelength field of "SET_MODE" and of "SET_WAVELEN",
// and of the number of "SET_AVE" and "SET_RANGE".
constexpr size_t kModeWavelengthDigits = 5;
constexpr size_t kWavelengthDigits = 4;
constexpr size_t kNumberDigits = 5;

// Parameters separated by ","; empty ones are kept, so they can be refused.
std::vector<std::string_view> SplitParams(std::string_view params) {
  std::vector<std::string_view> out;
  for (;;) {
    const size_t comma = params.find(',');
    out.push_back(params.substr(0, comma));
    if (comma == std::string_view::npos) return out;
    params.remove_prefix(comma + 1);
  }
}

// The one parameter of a setting; empty when there is none or more than one.
std::optional<std::string_view> SingleParam(const CommandLine& line) {
  if (!line.has_params) return std::nullopt;
  const std::vector<std::string_view> params = SplitParams(line.params);
  if (params.size() != 1) return std::nullopt;
  return params[0];
}

}  // namespace

Measurement VirtualMeter::MeasureNow() const {
  const std::optional<double> coefficient = SlotCoefficient(stored_, settings_.wavelength_nm);
  return Measure(config_.sensor, config_.input, settings_, coefficient.value_or(1.0));
}

// --- Mode ---------------------------------------------------------------------

std::string VirtualMeter::OnGetMode(const CommandLine& line) {
  if (line.has_params) return TextReply(kCommandError);
  return TextReply(ModeReplyText(settings_));
}

std::string VirtualMeter::OnSetMode(const CommandLine& line) {
  if (!line.has_params) return TextReply(kDataError);
  const std::vector<std::string_view> params = SplitParams(line.params);
  if (params.size() != 5) return TextReply(kDataError);
  const std::optional<int32_t> wavelength = ParseSignedDigits(params[0], kModeWavelengthDigits);
  const std::optional<RelativeMode> relative = ParseRelativeMode(params[1]);
  const std::optional<HoldMode> hold = ParseHoldMode(params[2]);
  const std::optional<RangeMode> range = ParseRangeMode(params[3]);
  const std::optional<PowerUnit> unit = ParsePowerUnit(params[4]);
  if (!wavelength || !relative || !hold || !range || !unit) return TextReply(kDataError);
  if (*wavelength < config_.sensor.min_nm || *wavelength > config_.sensor.max_nm)
    return TextReply(kWaveError);
  if (*relative != RelativeMode::kAbs && *unit == PowerUnit::kWatt) return TextReply(kModeError);

  if (*wavelength != settings_.wavelength_nm) {
    // The number kept with a wavelength comes from the list; a wavelength
    // not in the list starts at 1.000.
    const WaveListEntry* entry = FindWaveEntry(wave_list_, *wavelength);
    settings_.wavelength_value = entry != nullptr ? entry->value : 1000;
    settings_.wavelength_nm = *wavelength;
  }
  if (*hold != settings_.hold) hold_.Restart();
  settings_.relative = *relative;
  settings_.hold = *hold;
  settings_.range_mode = *range;
  settings_.unit = *unit;
  return TextReply(kOk);
}

// --- Wavelength -----------------------------------------------------------------

std::string VirtualMeter::OnGetWavelength(const CommandLine& line) {
  if (!line.has_params) {
    return TextReply(std::to_string(settings_.wavelength_nm) + "," +
                     PlainThousandths(settings_.wavelength_value));
  }
  const std::optional<int> index = ParseSingleDigit(line.params);
  if (!index) return TextReply(kDataError);
  const WaveListEntry& entry = wave_list_[static_cast<size_t>(*index)];
  return TextReply(std::to_string(entry.wavelength_nm) + "," + PlainThousandths(entry.value));
}

std::string VirtualMeter::OnSetWavelength(const CommandLine& line) {
  if (!line.has_params) return TextReply(kDataError);
  const std::vector<std::string_view> params = SplitParams(line.params);
  if (params.size() != 2) return TextReply(kDataError);
  const std::optional<int32_t> wavelength = ParseSignedDigits(params[0], kWavelengthDigits);
  const std::optional<int32_t> value = ParseThousandthsField(params[1]);
  if (!wavelength || !value) return TextReply(kDataError);
  if (*wavelength < config_.sensor.min_nm || *wavelength > config_.sensor.max_nm)
    return TextReply(kWaveError);
  settings_.wavelength_nm = *wavelength;
  settings_.wavelength_value = *value;
  WaveListEntry* entry = FindWaveEntry(wave_list_, *wavelength);
  if (entry != nullptr) entry->value = *value;
  return TextReply(kOk);
}

std::string VirtualMeter::OnResetWavelengths(const CommandLine& line) {
  if (line.has_params) return TextReply(kCommandError);
  wave_list_ = config_.wave_list;
  const WaveListEntry* entry = FindWaveEntry(wave_list_, settings_.wavelength_nm);
  if (entry != nullptr) settings_.wavelength_value = entry->value;
  return TextReply(kOk);
}

// --- Relative reference -----------------------------------------------------------

std::string VirtualMeter::OnGetRel(const CommandLine& line) {
  if (line.has_params) return TextReply(kCommandError);
  return TextReply(settings_.reference);
}

std::string VirtualMeter::OnSetRel0(const CommandLine& line) {
  if (line.has_params) return TextReply(kCommandError);
  if (!config_.sensor.present) return TextReply(kNoSensor);
  // The reading shown now becomes the reference.
  const std::optional<std::string> reading = AbsoluteReadingText(MeasureNow(), settings_.unit);
  if (!reading) return TextReply(kModeError);
  settings_.reference = *reading;
  return TextReply(kOk);
}

std::string VirtualMeter::OnSetRel1(const CommandLine& line) {
  const std::optional<std::string_view> reading = SingleParam(line);
  if (!reading || !IsValidReadingText(*reading)) return TextReply(kDataError);
  settings_.reference = std::string(*reading);
  return TextReply(kOk);
}

// --- Range, averaging, auto power save -----------------------------------------------

std::string VirtualMeter::OnGetRange(const CommandLine& line) {
  if (line.has_params) return TextReply(kCommandError);
  return TextReply(std::to_string(settings_.range_dbm));
}

std::string VirtualMeter::OnSetRange(const CommandLine& line) {
  const std::optional<std::string_view> param = SingleParam(line);
  const std::optional<int32_t> range =
      param ? ParseSignedDigits(*param, kNumberDigits) : std::nullopt;
  if (!range || !IsManualRange(*range)) return TextReply(kDataError);
  if (settings_.range_mode != RangeMode::kManual) return TextReply(kModeError);
  settings_.range_dbm = *range;
  return TextReply(kOk);
}

std::string VirtualMeter::OnGetAve(const CommandLine& line) {
  if (line.has_params) return TextReply(kCommandError);
  return TextReply(std::to_string(settings_.averaging));
}

std::string VirtualMeter::OnSetAve(const CommandLine& line) {
  const std::optional<std::string_view> param = SingleParam(line);
  const std::optional<int32_t> count =
      param ? ParseSignedDigits(*param, kNumberDigits) : std::nullopt;
  if (!count || *count < kMinAveraging || *count > kMaxAveraging) return TextReply(kDataError);
  settings_.averaging = *count;
  hold_.Restart();
  return TextReply(kOk);
}

std::string VirtualMeter::OnGetAps(const CommandLine& line) {
  if (line.has_params) return TextReply(kCommandError);
  return TextReply(settings_.aps ? "ON" : "OFF");
}

std::string VirtualMeter::OnSetAps(const CommandLine& line) {
  const std::optional<std::string_view> param = SingleParam(line);
  if (param == "ON") {
    settings_.aps = true;
  } else if (param == "OFF") {
    settings_.aps = false;
  } else {
    return TextReply(kDataError);
  }
  return TextReply(kOk);
}

// --- Sensor, reading, reset ------------------------------------------------------------

std::string VirtualMeter::OnGetSensor(const CommandLine& line) {
  if (line.has_params) return TextReply(kCommandError);
  if (!config_.sensor.present) return TextReply(kNoSensor);
  return TextReply(config_.sensor.description);
}

std::string VirtualMeter::OnGetMeasurement(const CommandLine& line) {
  if (line.has_params) return TextReply(kCommandError);
  Measurement measurement = MeasureNow();
  if (measurement.mark == ReadingMark::kNone) {
    measurement.milliwatts =
        hold_.Take(settings_.hold, settings_.averaging, measurement.milliwatts);
  }
  return TextReply(ReadingText(measurement, settings_));
}

std::string VirtualMeter::OnResetSettings(const CommandLine& line) {
  if (line.has_params) return TextReply(kCommandError);
  settings_ = config_.settings;
  hold_.Restart();
  return TextReply(kOk);
}

}  // namespace usbsim
