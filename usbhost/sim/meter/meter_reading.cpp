#include "meter/meter_reading.h"

#include <cmath>

#include "meter/meter_numbers.h"

namespace usbsim {

namespace {

constexpr int64_t kMantissaLimit = 20000;  // five digits hold 0 to 19999
constexpr int64_t kMantissaFloor = 1800;
constexpr int kMaxLinearExponent = 8;

}  // namespace

std::optional<std::string> DbReadingText(double db) {
  if (!std::isfinite(db)) return std::nullopt;
  const long long hundredths = std::llround(db * 100.0);
  if (hundredths <= -kMantissaLimit || hundredths >= kMantissaLimit) return std::nullopt;
  return SignedDigits(static_cast<int32_t>(hundredths), 5) + kDbExponentDigit;
}

std::optional<std::string> LinearReadingText(double milliwatts) {
  if (!std::isfinite(milliwatts) || milliwatts < 0.0) return std::nullopt;
  long long chosen = -1;
  int exponent = 0;
  double scale = 10.0;  // 10^(e+1)
  for (int e = 0; e <= kMaxLinearExponent; ++e, scale *= 10.0) {
    const long long mantissa = std::llround(milliwatts * scale);
    if (mantissa >= kMantissaLimit) break;  // keep the previous exponent
    chosen = mantissa;
    exponent = e;
    if (mantissa > kMantissaFloor) break;
  }
  if (chosen < 0) return std::nullopt;  // too large even at exponent 0
  return SignedDigits(static_cast<int32_t>(chosen), 5) + static_cast<char>('0' + exponent);
}

std::string MarkedReadingText(char mark, bool db) {
  return std::string(1, mark) + "00000" + (db ? kDbExponentDigit : '0');
}

bool IsValidReadingText(std::string_view text) {
  if (text.size() != kReadingTextLength) return false;
  const std::optional<int32_t> mantissa = ParseSignedDigits(text.substr(0, 6), 5);
  const char exponent = text[6];
  if (!mantissa || exponent < '0' || exponent > '9') return false;
  return exponent == kDbExponentDigit || text[0] == '+';
}

std::optional<double> ReadingTextMilliwatts(std::string_view text) {
  if (!IsValidReadingText(text)) return std::nullopt;
  const double mantissa = *ParseSignedDigits(text.substr(0, 6), 5);
  const int exponent = text[6] - '0';
  if (text[6] == kDbExponentDigit) return std::pow(10.0, mantissa * 0.01 / 10.0);
  return mantissa * std::pow(10.0, -(exponent + 1));
}

}  // namespace usbsim
