// Fixed-width signed decimal fields of the meter's command parameters: the
// four- or five-digit signed field (+01310, +1310) and the three-decimal
// field of a wavelength entry (+01.234).
#ifndef LX40_METERLINK_FORMATS_SIGNED_FIELD_H
#define LX40_METERLINK_FORMATS_SIGNED_FIELD_H

#include <cstdint>
#include <optional>

#include "formats/fixed_text.h"

namespace meterlink {

inline constexpr int kMaxSignedDigits = 5;
inline constexpr int32_t kMaxSignedFieldMagnitude = 19999;

// Sign and up to five digits: "+00123".
using SignedField = FixedText<1 + kMaxSignedDigits>;
// Sign, two digits, ".", three digits: "+01.234".
using ThreeDecimalField = FixedText<7>;

// "+" (zero and positive) or "-", then `digits` decimal digits with leading
// zeros. Empty when digits is outside 1 to 5, the value is outside -19999 to
// 19999, or its magnitude needs more digits than `digits`.
[[nodiscard]] std::optional<SignedField> FormatSigned(int32_t value, int digits);

// The value in thousandths, rounded half away from zero, as a three-decimal
// field. Empty when it does not fit (beyond +-19.9995) or is NaN/infinite.
[[nodiscard]] std::optional<ThreeDecimalField> FormatThreeDecimal(float value);

}  // namespace meterlink

#endif
