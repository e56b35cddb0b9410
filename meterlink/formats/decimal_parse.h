// Numbers in reply fields ("field 1 as a decimal integer", "field 2 as a
// decimal real"), read without the process locale: the decimal point is
// always ".". A field must be the number and nothing else; any other text
// is a failure, which the commands report as a reply not recognised.
#ifndef LX40_METERLINK_FORMATS_DECIMAL_PARSE_H
#define LX40_METERLINK_FORMATS_DECIMAL_PARSE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace meterlink {

// Longest field the parsers accept; a meter sends a handful of characters.
inline constexpr std::size_t kMaxDecimalFieldLength = 32;

// Optional "+" or "-", then one or more decimal digits ("+01310", "-5", "42").
// Empty on anything else, on a value outside int32, or on a field longer
// than kMaxDecimalFieldLength.
[[nodiscard]] std::optional<int32_t> ParseDecimalInteger(std::string_view text);

// Optional "+" or "-", digits with at most one "." and at least one digit
// ("+01.234", "-0.5", "12", ".5", "3."). No exponent, no spaces. Empty on
// anything else or on a field longer than kMaxDecimalFieldLength. The result
// is the float nearest the decimal value.
[[nodiscard]] std::optional<float> ParseDecimalReal(std::string_view text);

}  // namespace meterlink

#endif
