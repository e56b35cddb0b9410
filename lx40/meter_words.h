// Names for Meterlink's codes as lx40 prints them: units, mode keywords,
// reading marks.
#ifndef LX40_LX40_METER_WORDS_H
#define LX40_LX40_METER_WORDS_H

#include <cstdint>
#include <nlohmann/json.hpp>

#include "mlink.h"

namespace lx40 {

// "dB", "W", "mW", "uW", "nW"; "?" for another code.
const char* UnitName(int32_t unit);

// The meter's keyword for a mode index ("REL0", "ABS", "MAX", "AUTO", ...);
// "?" for MLINK_MODE_UNKNOWN or another value.
const char* ModeKeywordName(int32_t keyword);

// The mark of a reading the meter did not measure ("over-range",
// "under-range", "overload"), or null for a measured value.
const char* ReadingMark(const Reading& reading);

// A reading as JSON: "value" (null when marked), "unit", "mark" (null when
// measured).
nlohmann::ordered_json ReadingJson(const Reading& reading);

}  // namespace lx40

#endif
