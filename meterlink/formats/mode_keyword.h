// The measurement-mode keywords of "GET_MODE" and "SET_MODE". A keyword's
// index in the table is the number that travels in the ModeSettings record.
#ifndef LX40_METERLINK_FORMATS_MODE_KEYWORD_H
#define LX40_METERLINK_FORMATS_MODE_KEYWORD_H

#include <cstdint>
#include <optional>
#include <string_view>

namespace meterlink {

// Relative mode.
inline constexpr int32_t kModeRel0 = 0;  // "REL0"
inline constexpr int32_t kModeRel1 = 1;  // "REL1"
inline constexpr int32_t kModeAbs = 2;   // "ABS"
// Hold.
inline constexpr int32_t kHoldOff = 3;  // "OFF"
inline constexpr int32_t kHoldMax = 4;  // "MAX"
inline constexpr int32_t kHoldMin = 5;  // "MIN"
inline constexpr int32_t kHoldAve = 6;  // "AVE"
// Range mode.
inline constexpr int32_t kRangeManual = 7;  // "MANU"
inline constexpr int32_t kRangeAuto = 8;    // "AUTO"
// Unit.
inline constexpr int32_t kUnitKeywordDb = 9;  // "DB"
inline constexpr int32_t kUnitKeywordW = 10;  // "W"

inline constexpr int32_t kModeKeywordCount = 11;

// Compares the whole field, case-sensitively, with the keywords from index
// `start` to the end of the table and returns the index of the first equal
// one, or -1. A negative start (-1 after a failed search) begins at index 0;
// a start beyond the table finds nothing.
[[nodiscard]] int32_t FindModeKeyword(std::string_view field, int32_t start);

// The keyword at `index`, empty outside 0 to 10.
[[nodiscard]] std::optional<std::string_view> ModeKeywordText(int32_t index);

}  // namespace meterlink

#endif
