// The meter's seven-character reading text, as used by "GET_MESRDATA",
// "GET_REL" and "SET_REL1":
//
//   index 0     sign of the mantissa ("+" or "-"), or a mark letter N, H, L, O
//   index 1..5  mantissa, five decimal digits
//   index 6     exponent digit e: 0..8 linear, mantissa x 10^-(e+1) milliwatts;
//               9 logarithmic, mantissa x 0.01 dB
//
// Characters after index 6 are ignored.
#ifndef LX40_METERLINK_FORMATS_READING_H
#define LX40_METERLINK_FORMATS_READING_H

#include <cstddef>
#include <optional>
#include <string_view>

#include "formats/fixed_text.h"
#include "formats/unit_code.h"

namespace meterlink {

inline constexpr std::size_t kReadingLength = 7;
using ReadingText = FixedText<kReadingLength>;

enum class ReadingMark { kNone, kHigh, kLow, kOver };  // none, H, L, O

struct ParsedReading {
  float value = 0.0f;  // milliwatts (e 0..8), dB (e 9), or the mark's sentinel
  int exponent = 0;    // exponent digit 0..9; -1 for a marked reading
  ReadingMark mark = ReadingMark::kNone;
};

enum class ReadingStatus {
  kOk,         // `out` holds the reading
  kMarkN,      // the meter marked the reading N (no reading): the command gives -10
  kMalformed,  // not a reading text: the command gives -4 (reply not recognised)
};

// Parses a reading text; the text ends at its first NUL or at the end of the
// view. `out` is written only when the result is kOk.
[[nodiscard]] ReadingStatus ParseReading(std::string_view text, ParsedReading& out);

struct ConvertedReading {
  float value = 0.0f;
  UnitCode unit = 0;  // the unit actually used
};

// Converts a parsed reading into the caller's requested unit (9 to 14, 14 =
// automatic by exponent). A marked reading gives its sentinel with the
// requested unit unchanged, whatever that unit is. Empty (the command gives
// -1) when the request is impossible: a dB reading asked for in a linear
// unit, a linear reading asked for in dB, or a code outside 9 to 14.
[[nodiscard]] std::optional<ConvertedReading> ConvertReading(const ParsedReading& reading,
                                                             UnitCode requested);

// Encodes a value in `unit` (9 to 13) as a reading text for "SET_REL1".
// Empty when the unit is outside 9 to 13 or the value cannot be written:
// NaN or infinite, a dB value whose hundredths do not fit in -19999..19999,
// a negative linear value, or a linear value of 2000 mW or more.
[[nodiscard]] std::optional<ReadingText> EncodeReading(float value, UnitCode unit);

}  // namespace meterlink

#endif
