#include "formats/signed_field.h"

#include <cmath>
#include <string_view>

namespace meterlink {

std::optional<SignedField> FormatSigned(int32_t value, int digits) {
  // A digit count below 1 would leave a bare sign, which is no number.
  if (digits < 1 || digits > kMaxSignedDigits) return std::nullopt;
  if (value < -kMaxSignedFieldMagnitude || value > kMaxSignedFieldMagnitude) return std::nullopt;

  int32_t magnitude = value < 0 ? -value : value;
  char digit_chars[kMaxSignedDigits] = {};
  for (int i = digits - 1; i >= 0; --i) {
    digit_chars[i] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  }
  // Digits left over do not fit: writing only the lowest ones would send a
  // different number (a wavelength of 12345 in four digits as 2345).
  if (magnitude != 0) return std::nullopt;

  SignedField field;
  field.Append(value < 0 ? '-' : '+');
  for (int i = 0; i < digits; ++i) field.Append(digit_chars[i]);
  return field;
}

std::optional<ThreeDecimalField> FormatThreeDecimal(float value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double thousandths = static_cast<double>(value) * 1000.0;
  // Half away from zero. Adding 0.5 and truncating toward zero for every
  // sign would move each negative value up by a thousandth (-1.234 would go
  // out as -01.233).
  const double rounded = value < 0.0f ? thousandths - 0.5 : thousandths + 0.5;
  // Checked before the conversion to int32, which is undefined out of range.
  if (!(std::fabs(rounded) < kMaxSignedFieldMagnitude + 1.0)) return std::nullopt;

  const std::optional<SignedField> five = FormatSigned(static_cast<int32_t>(rounded), 5);
  if (!five) return std::nullopt;
  const std::string_view digits = five->view();  // sign and five digits
  ThreeDecimalField field;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i == 3) field.Append('.');
    field.Append(digits[i]);
  }
  return field;
}

}  // namespace meterlink
