#include "formats/reading.h"

#include <array>
#include <cmath>
#include <cstdint>

#include "formats/signed_field.h"

namespace meterlink {
namespace {

// Scale of a linear mantissa by exponent digit e: 10^-(e+1) milliwatts.
constexpr std::array<double, kMaxLinearExponent + 1> kLinearScale = {1e-1, 1e-2, 1e-3, 1e-4, 1e-5,
                                                                     1e-6, 1e-7, 1e-8, 1e-9};
// Scale of a dB mantissa: hundredths.
constexpr double kDbScale = 0.01;
// 10^(e+1) for the encoder's exponent search, e = 0 to 8.
constexpr std::array<double, kMaxLinearExponent + 1> kEncodeScale = {1e1, 1e2, 1e3, 1e4, 1e5,
                                                                     1e6, 1e7, 1e8, 1e9};

// Mantissas at or above this do not fit the five-digit field.
constexpr float kMantissaLimit = 20000.0f;
// The search settles on the smallest exponent that lifts the mantissa above this.
constexpr float kMantissaFloor = 1800.0f;

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::optional<ReadingText> WithExponent(const std::optional<SignedField>& mantissa, int exponent) {
  if (!mantissa) return std::nullopt;
  ReadingText text;
  for (char c : mantissa->view()) text.Append(c);
  text.Append(static_cast<char>('0' + exponent));
  return text;
}

}  // namespace

ReadingStatus ParseReading(std::string_view text, ParsedReading& out) {
  text = text.substr(0, text.find('\0'));
  // Marked or not, a reading is seven characters; a shorter reply is cut off
  // and its missing characters must not be guessed.
  if (text.size() < kReadingLength) return ReadingStatus::kMalformed;

  switch (text[0]) {
    case 'N':
      return ReadingStatus::kMarkN;
    case 'H':
      out = {kSentinelHigh, -1, ReadingMark::kHigh};
      return ReadingStatus::kOk;
    case 'L':
      out = {kSentinelLow, -1, ReadingMark::kLow};
      return ReadingStatus::kOk;
    case 'O':
      out = {kSentinelOver, -1, ReadingMark::kOver};
      return ReadingStatus::kOk;
    case '+':
    case '-':
      break;
    // A digit or anything else where the sign belongs: not a reading.
    default:
      return ReadingStatus::kMalformed;
  }

  // Only the digits 0 to 9 select a scale (and a unit); any other exponent
  // character makes the reply unrecognisable rather than a wrong value.
  const char exponent_char = text[6];
  if (!IsDigit(exponent_char)) return ReadingStatus::kMalformed;
  const int exponent = exponent_char - '0';

  // All five mantissa characters must be digits: stopping at the first
  // non-digit would turn "+12x45" into 12, a plausible but wrong value.
  int32_t mantissa = 0;
  for (std::size_t i = 1; i <= 5; ++i) {
    if (!IsDigit(text[i])) return ReadingStatus::kMalformed;
    mantissa = mantissa * 10 + (text[i] - '0');
  }
  if (text[0] == '-') mantissa = -mantissa;

  const double scale = exponent == kDbExponent ? kDbScale : kLinearScale[exponent];
  out = {static_cast<float>(mantissa * scale), exponent, ReadingMark::kNone};
  return ReadingStatus::kOk;
}

std::optional<ConvertedReading> ConvertReading(const ParsedReading& reading, UnitCode requested) {
  if (reading.mark != ReadingMark::kNone) return ConvertedReading{reading.value, requested};

  if (reading.exponent == kDbExponent) {
    if (requested != kUnitDb && requested != kUnitAutomatic) return std::nullopt;
    return ConvertedReading{reading.value, kUnitDb};
  }
  if (reading.exponent < 0 || reading.exponent > kMaxLinearExponent) return std::nullopt;

  const UnitCode unit =
      requested == kUnitAutomatic ? *AutomaticUnitForExponent(reading.exponent) : requested;
  const std::optional<double> factor = LinearUnitFactor(unit);
  if (!factor) return std::nullopt;
  return ConvertedReading{static_cast<float>(static_cast<double>(reading.value) * *factor), unit};
}

std::optional<ReadingText> EncodeReading(float value, UnitCode unit) {
  // NaN and infinities have no digits; converting them to int is undefined.
  if (!std::isfinite(value)) return std::nullopt;

  if (unit == kUnitDb) {
    // Hundredths, truncated toward zero (not rounded). Beyond +-199.99 dB
    // the five digits cannot hold them.
    const double hundredths = static_cast<double>(value) * 100.0;
    if (!(std::fabs(hundredths) < kMantissaLimit)) return std::nullopt;
    return WithExponent(FormatSigned(static_cast<int32_t>(hundredths), 5), kDbExponent);
  }

  const std::optional<double> factor = LinearUnitFactor(unit);
  if (!factor) return std::nullopt;
  // A linear power is never negative. The search below would run to
  // exponent 8 for one and its "+ 0.5, truncate" rounding goes the wrong way
  // for negatives, so a tiny negative would go out as 0 and a larger one as
  // an unformattable mantissa: refuse it outright. (-0 counts as 0.)
  if (value < 0.0f) return std::nullopt;
  const double milliwatts = static_cast<double>(value) / *factor;

  // Find the smallest exponent that lifts the mantissa above 1800 while it
  // stays below 20000. The mantissa grows tenfold per step, so it never
  // jumps from 1800 or less to 20000 or more; the step limit only makes
  // termination plain.
  int exponent = 0;
  float t = 0.0f;
  for (int steps = 0;; ++steps) {
    if (steps > 4 * (kMaxLinearExponent + 1)) return std::nullopt;
    t = static_cast<float>(milliwatts * kEncodeScale[exponent] + 0.5);
    if (t >= kMantissaLimit) {
      if (exponent == 0) break;
      --exponent;
    } else {
      if (t > kMantissaFloor || exponent == kMaxLinearExponent) break;
      ++exponent;
    }
  }
  // 2000 mW or more leaves t at 20000 or more at exponent 0 (possibly
  // infinite): no five-digit mantissa holds it. Checked before the
  // conversion to int32, which is undefined out of range.
  if (!(t < kMantissaLimit)) return std::nullopt;
  return WithExponent(FormatSigned(static_cast<int32_t>(t), 5), exponent);
}

}  // namespace meterlink
