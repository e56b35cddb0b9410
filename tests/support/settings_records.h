// Equality and printing for the settings records, so a test compares whole
// records and a failure shows every field: Meterlink's ModeSettings and the
// virtual meter's MeterSettings.
#ifndef LX40_TESTS_SUPPORT_SETTINGS_RECORDS_H
#define LX40_TESTS_SUPPORT_SETTINGS_RECORDS_H

#include <ostream>

#include "meter/meter_settings.h"
#include "meter_commands.h"

inline bool operator==(const ModeSettings& a, const ModeSettings& b) {
  return a.wavelength == b.wavelength && a.relativeMode == b.relativeMode && a.hold == b.hold &&
         a.rangeMode == b.rangeMode && a.unit == b.unit;
}

inline void PrintTo(const ModeSettings& m, std::ostream* os) {
  *os << "{wavelength " << m.wavelength << ", relativeMode " << m.relativeMode << ", hold "
      << m.hold << ", rangeMode " << m.rangeMode << ", unit " << m.unit << "}";
}

namespace usbsim {

inline bool operator==(const MeterSettings& a, const MeterSettings& b) {
  return a.wavelength_nm == b.wavelength_nm && a.wavelength_value == b.wavelength_value &&
         a.relative == b.relative && a.hold == b.hold && a.range_mode == b.range_mode &&
         a.unit == b.unit && a.averaging == b.averaging && a.range_dbm == b.range_dbm &&
         a.aps == b.aps && a.reference == b.reference;
}

inline void PrintTo(const MeterSettings& s, std::ostream* os) {
  *os << "{" << s.wavelength_nm << " nm, value " << s.wavelength_value << ", "
      << RelativeModeKeyword(s.relative) << ", hold " << HoldModeKeyword(s.hold) << ", range "
      << RangeModeKeyword(s.range_mode) << " " << s.range_dbm << " dBm, "
      << PowerUnitKeyword(s.unit) << ", averaging " << s.averaging << ", aps "
      << (s.aps ? "on" : "off") << ", reference " << s.reference << "}";
}

}  // namespace usbsim

#endif
