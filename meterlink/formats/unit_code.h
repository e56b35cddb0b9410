// Unit codes of the Reading record, the factor that turns a value in
// milliwatts into each linear unit, the unit chosen automatically from a
// reading's exponent digit, and the values that stand in for the marks
// H, L and O of a reading.
#ifndef LX40_METERLINK_FORMATS_UNIT_CODE_H
#define LX40_METERLINK_FORMATS_UNIT_CODE_H

#include <cstdint>
#include <optional>

namespace meterlink {

using UnitCode = int32_t;

inline constexpr UnitCode kUnitDb = 9;  // logarithmic readings only
inline constexpr UnitCode kUnitWatt = 10;
inline constexpr UnitCode kUnitMilliwatt = 11;
inline constexpr UnitCode kUnitMicrowatt = 12;
inline constexpr UnitCode kUnitNanowatt = 13;
inline constexpr UnitCode kUnitAutomatic = 14;  // requests only

// Sentinels stored instead of a value for the marks H, L and O.
inline constexpr float kSentinelHigh = 1.0e10f;
inline constexpr float kSentinelLow = -1.0e10f;
inline constexpr float kSentinelOver = 1.0e11f;  // the float nearest 1e11: 99999997952

// The exponent digit of a logarithmic (dB) reading; 0 to 8 are linear.
inline constexpr int kDbExponent = 9;
inline constexpr int kMaxLinearExponent = 8;

constexpr bool IsLinearUnit(UnitCode unit) noexcept {
  return unit >= kUnitWatt && unit <= kUnitNanowatt;
}

// Value in `unit` = value in milliwatts x factor. Empty for dB, automatic
// and unknown codes.
constexpr std::optional<double> LinearUnitFactor(UnitCode unit) noexcept {
  switch (unit) {
    case kUnitWatt:
      return 0.001;
    case kUnitMilliwatt:
      return 1.0;
    case kUnitMicrowatt:
      return 1000.0;
    case kUnitNanowatt:
      return 1000000.0;
    default:
      return std::nullopt;
  }
}

// The unit that a request for kUnitAutomatic gets for a reading with this
// exponent digit. Empty outside 0 to 9.
constexpr std::optional<UnitCode> AutomaticUnitForExponent(int exponent) noexcept {
  if (exponent == 0) return kUnitWatt;
  if (exponent >= 1 && exponent <= 3) return kUnitMilliwatt;
  if (exponent >= 4 && exponent <= 6) return kUnitMicrowatt;
  if (exponent == 7 || exponent == 8) return kUnitNanowatt;
  if (exponent == kDbExponent) return kUnitDb;
  return std::nullopt;
}

}  // namespace meterlink

#endif
