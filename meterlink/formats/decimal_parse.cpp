#include "formats/decimal_parse.h"

#include <array>
#include <cfloat>
#include <cmath>

namespace meterlink {
namespace {

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits kept exactly: below 2^53, so the mantissa is an exact double.
constexpr int kMaxSignificantDigits = 15;

// Powers of ten up to the largest scale a bounded field can need.
constexpr std::array<double, kMaxDecimalFieldLength + 1> kPowersOfTen = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10,
    1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21,
    1e22, 1e23, 1e24, 1e25, 1e26, 1e27, 1e28, 1e29, 1e30, 1e31, 1e32};

}  // namespace

std::optional<int32_t> ParseDecimalInteger(std::string_view text) {
  if (text.empty() || text.size() > kMaxDecimalFieldLength) return std::nullopt;
  std::size_t i = 0;
  const bool negative = text[0] == '-';
  if (text[0] == '+' || text[0] == '-') ++i;
  if (i == text.size()) return std::nullopt;  // a sign alone

  constexpr int64_t kLimit = int64_t{INT32_MAX} + 1;  // magnitude of INT32_MIN
  int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    if (!IsDigit(text[i])) return std::nullopt;
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > kLimit) return std::nullopt;
  }
  if (!negative && magnitude > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

std::optional<float> ParseDecimalReal(std::string_view text) {
  if (text.empty() || text.size() > kMaxDecimalFieldLength) return std::nullopt;
  std::size_t i = 0;
  const bool negative = text[0] == '-';
  if (text[0] == '+' || text[0] == '-') ++i;

  uint64_t significand = 0;
  int significant_digits = 0;
  int exponent10 = 0;
  bool any_digit = false;
  bool seen_point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.') {
      if (seen_point) return std::nullopt;
      seen_point = true;
      continue;
    }
    if (!IsDigit(c)) return std::nullopt;
    any_digit = true;
    const int digit = c - '0';
    if (significand == 0 && digit == 0) {
      if (seen_point) --exponent10;  // a leading zero only moves the scale
    } else if (significant_digits < kMaxSignificantDigits) {
      significand = significand * 10 + static_cast<uint64_t>(digit);
      ++significant_digits;
      if (seen_point) --exponent10;
    } else if (!seen_point) {
      ++exponent10;  // beyond float precision: only its place counts
    }
  }
  if (!any_digit) return std::nullopt;

  // |exponent10| < field length, so the table covers it.
  const std::size_t scale_index =
      static_cast<std::size_t>(exponent10 < 0 ? -exponent10 : exponent10);
  double value = static_cast<double>(significand);
  value = exponent10 < 0 ? value / kPowersOfTen[scale_index] : value * kPowersOfTen[scale_index];
  if (!(value <= FLT_MAX)) return std::nullopt;  // cannot happen within the length limit
  const float result = static_cast<float>(value);
  return negative ? -result : result;
}

}  // namespace meterlink
