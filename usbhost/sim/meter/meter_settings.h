// The measurement settings a virtual LX40 keeps, their power-on values, the
// keywords they travel as ("GET_MODE", "SET_MODE") and the list of ten
// wavelengths with the number the meter keeps with each.
#ifndef LX40_USBHOST_SIM_METER_METER_SETTINGS_H
#define LX40_USBHOST_SIM_METER_METER_SETTINGS_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace usbsim {

enum class RelativeMode { kRel0, kRel1, kAbs };  // "REL0", "REL1", "ABS"
enum class HoldMode { kOff, kMax, kMin, kAve };  // "OFF", "MAX", "MIN", "AVE"
enum class RangeMode { kManual, kAuto };         // "MANU", "AUTO"
enum class PowerUnit { kDb, kWatt };             // "DB", "W"

// Wavelength and averaging limits the meter accepts.
inline constexpr int32_t kMinAveraging = 1;
inline constexpr int32_t kMaxAveraging = 1000;
// The manual ranges: full scale in dBm, +10 down to -60 in steps of 10.
inline constexpr int32_t kHighestRangeDbm = 10;
inline constexpr int32_t kLowestRangeDbm = -60;
inline constexpr int32_t kRangeStepDb = 10;

struct MeterSettings {
  int32_t wavelength_nm = 1310;
  // The number kept with the current wavelength, in thousandths.
  int32_t wavelength_value = 1000;
  RelativeMode relative = RelativeMode::kAbs;
  HoldMode hold = HoldMode::kOff;
  RangeMode range_mode = RangeMode::kAuto;
  PowerUnit unit = PowerUnit::kDb;
  int32_t averaging = 10;
  int32_t range_dbm = 0;  // full scale of the manual range
  bool aps = false;       // auto power save
  // The relative reference as a reading text (0.00 dB).
  std::string reference = "+000009";
};

struct WaveListEntry {
  int32_t wavelength_nm = 0;
  int32_t value = 1000;  // thousandths
};
inline constexpr size_t kWaveListSize = 10;
using WaveList = std::array<WaveListEntry, kWaveListSize>;

// 850, 980, 1060, 1300, 1310, 1480, 1490, 1550, 1610, 1625 nm, each 1.000.
WaveList DefaultWaveList();

std::string_view RelativeModeKeyword(RelativeMode mode);
std::string_view HoldModeKeyword(HoldMode mode);
std::string_view RangeModeKeyword(RangeMode mode);
std::string_view PowerUnitKeyword(PowerUnit unit);

// Whole, case-sensitive keyword matches; empty for any other text.
std::optional<RelativeMode> ParseRelativeMode(std::string_view text);
std::optional<HoldMode> ParseHoldMode(std::string_view text);
std::optional<RangeMode> ParseRangeMode(std::string_view text);
std::optional<PowerUnit> ParsePowerUnit(std::string_view text);

// The answer to "GET_MODE": "+01310,ABS,OFF,AUTO,DB".
std::string ModeReplyText(const MeterSettings& settings);

// True for +10, 0, -10, ... -60.
bool IsManualRange(int32_t dbm);

// The entry of `list` with this wavelength, if any.
const WaveListEntry* FindWaveEntry(const WaveList& list, int32_t wavelength_nm);
WaveListEntry* FindWaveEntry(WaveList& list, int32_t wavelength_nm);

}  // namespace usbsim

#endif
