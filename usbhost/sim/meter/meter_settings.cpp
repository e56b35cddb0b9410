#include "meter/meter_settings.h"

#include "meter/meter_numbers.h"

namespace usbsim {

namespace {

template <typename Enum, size_t N>
std::optional<Enum> FindKeyword(const std::array<std::string_view, N>& keywords,
                                std::string_view text) {
  for (size_t i = 0; i < N; ++i) {
    if (keywords[i] == text) return static_cast<Enum>(i);
  }
  return std::nullopt;
}

constexpr std::array<std::string_view, 3> kRelativeKeywords = {"REL0", "REL1", "ABS"};
constexpr std::array<std::string_view, 4> kHoldKeywords = {"OFF", "MAX", "MIN", "AVE"};
constexpr std::array<std::string_view, 2> kRangeKeywords = {"MANU", "AUTO"};
constexpr std::array<std::string_view, 2> kUnitKeywords = {"DB", "W"};

}  // namespace

WaveList DefaultWaveList() {
  return WaveList{{{850, 1000},
                   {980, 1000},
                   {1060, 1000},
                   {1300, 1000},
                   {1310, 1000},
                   {1480, 1000},
                   {1490, 1000},
                   {1550, 1000},
                   {1610, 1000},
                   {1625, 1000}}};
}

std::string_view RelativeModeKeyword(RelativeMode mode) {
  return kRelativeKeywords[static_cast<size_t>(mode)];
}
std::string_view HoldModeKeyword(HoldMode mode) { return kHoldKeywords[static_cast<size_t>(mode)]; }
std::string_view RangeModeKeyword(RangeMode mode) {
  return kRangeKeywords[static_cast<size_t>(mode)];
}
std::string_view PowerUnitKeyword(PowerUnit unit) {
  return kUnitKeywords[static_cast<size_t>(unit)];
}

std::optional<RelativeMode> ParseRelativeMode(std::string_view text) {
  return FindKeyword<RelativeMode>(kRelativeKeywords, text);
}
std::optional<HoldMode> ParseHoldMode(std::string_view text) {
  return FindKeyword<HoldMode>(kHoldKeywords, text);
}
std::optional<RangeMode> ParseRangeMode(std::string_view text) {
  return FindKeyword<RangeMode>(kRangeKeywords, text);
}
std::optional<PowerUnit> ParsePowerUnit(std::string_view text) {
  return FindKeyword<PowerUnit>(kUnitKeywords, text);
}

std::string ModeReplyText(const MeterSettings& settings) {
  std::string text = SignedDigits(settings.wavelength_nm, 5);
  for (const std::string_view keyword :
       {RelativeModeKeyword(settings.relative), HoldModeKeyword(settings.hold),
        RangeModeKeyword(settings.range_mode), PowerUnitKeyword(settings.unit)}) {
    text += ',';
    text += keyword;
  }
  return text;
}

bool IsManualRange(int32_t dbm) {
  return dbm >= kLowestRangeDbm && dbm <= kHighestRangeDbm && dbm % kRangeStepDb == 0;
}

const WaveListEntry* FindWaveEntry(const WaveList& list, int32_t wavelength_nm) {
  for (const WaveListEntry& entry : list) {
    if (entry.wavelength_nm == wavelength_nm) return &entry;
  }
  return nullptr;
}

WaveListEntry* FindWaveEntry(WaveList& list, int32_t wavelength_nm) {
  for (WaveListEntry& entry : list) {
    if (entry.wavelength_nm == wavelength_nm) return &entry;
  }
  return nullptr;
}

}  // namespace usbsim
