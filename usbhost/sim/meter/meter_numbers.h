// The meter firmware's number texts in command parameters and replies: the
// fixed-width signed fields it accepts ("+01310", "+1310"), the
// three-decimal field ("+01.234") and the plain numbers it answers with
// ("1310", "-20", "1.234"). The meter's own code, written from the wire.
#ifndef LX40_USBHOST_SIM_METER_METER_NUMBERS_H
#define LX40_USBHOST_SIM_METER_METER_NUMBERS_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace usbsim {

// "+" or "-" followed by exactly `digits` decimal digits; anything else
// (another length, no sign, a space) is empty.
std::optional<int32_t> ParseSignedDigits(std::string_view text, size_t digits);

// "+" or "-", two digits, ".", three digits: the value in thousandths.
std::optional<int32_t> ParseThousandthsField(std::string_view text);

// "+" or "-" and `digits` digits with leading zeros; the caller keeps the
// magnitude below 10^digits.
std::string SignedDigits(int32_t value, size_t digits);

// Thousandths as a plain decimal with three decimals: 1234 -> "1.234",
// -500 -> "-0.500".
std::string PlainThousandths(int32_t thousandths);

// One decimal digit "0" to "9" and nothing else.
std::optional<int> ParseSingleDigit(std::string_view text);

}  // namespace usbsim

#endif
