// The meter firmware's seven-character reading text: a sign or a mark
// letter, five mantissa digits and an exponent digit. Exponent 0 to 8: a
// power of mantissa x 10^-(e+1) mW; exponent 9: mantissa x 0.01 dB. Marks:
// H over range, L under range, O overload, N no sensor.
#ifndef LX40_USBHOST_SIM_METER_METER_READING_H
#define LX40_USBHOST_SIM_METER_METER_READING_H

#include <optional>
#include <string>
#include <string_view>

namespace usbsim {

inline constexpr size_t kReadingTextLength = 7;
inline constexpr char kDbExponentDigit = '9';

// dB (or dBm) in hundredths, rounded half away from zero. Empty beyond
// +-199.99 (five digits).
std::optional<std::string> DbReadingText(double db);

// A power in mW at the smallest exponent that lifts the mantissa above
// 1800 while it stays below 20000 (exponent 8 for very small powers).
// Empty for a negative power or one of 2000 mW or more.
std::optional<std::string> LinearReadingText(double milliwatts);

// A marked reading: the letter, five zeros and the exponent digit of the
// unit shown (9 for dB, 0 for W).
std::string MarkedReadingText(char mark, bool db);

// A well-formed unmarked reading text (exactly seven characters; a linear
// one is not negative).
bool IsValidReadingText(std::string_view text);

// The power a valid reading text stands for, in mW (a dB reading taken as
// dBm). Empty for an invalid text.
std::optional<double> ReadingTextMilliwatts(std::string_view text);

}  // namespace usbsim

#endif
