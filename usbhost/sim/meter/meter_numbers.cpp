#include "meter/meter_numbers.h"

#include <cstdlib>

namespace usbsim {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Digits only, at most 9 of them (no overflow).
std::optional<int32_t> Digits(std::string_view text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int32_t value = 0;
  for (const char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::optional<int32_t> ApplySign(char sign, std::optional<int32_t> magnitude) {
  if (!magnitude || (sign != '+' && sign != '-')) return std::nullopt;
  return sign == '-' ? -*magnitude : *magnitude;
}

}  // namespace

std::optional<int32_t> ParseSignedDigits(std::string_view text, size_t digits) {
  if (digits == 0 || text.size() != digits + 1) return std::nullopt;
  return ApplySign(text[0], Digits(text.substr(1)));
}

std::optional<int32_t> ParseThousandthsField(std::string_view text) {
  if (text.size() != 7 || text[3] != '.') return std::nullopt;
  const std::optional<int32_t> whole = Digits(text.substr(1, 2));
  const std::optional<int32_t> fraction = Digits(text.substr(4, 3));
  if (!whole || !fraction) return std::nullopt;
  return ApplySign(text[0], *whole * 1000 + *fraction);
}

std::string SignedDigits(int32_t value, size_t digits) {
  std::string text(digits + 1, '0');
  text[0] = value < 0 ? '-' : '+';
  int64_t magnitude = std::llabs(static_cast<int64_t>(value));
  for (size_t i = digits; i >= 1 && magnitude > 0; --i) {
    text[i] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  }
  return text;
}

std::string PlainThousandths(int32_t thousandths) {
  const int64_t magnitude = std::llabs(static_cast<int64_t>(thousandths));
  std::string fraction = std::to_string(magnitude % 1000);
  fraction.insert(0, 3 - fraction.size(), '0');
  return std::string(thousandths < 0 ? "-" : "") + std::to_string(magnitude / 1000) + "." +
         fraction;
}

std::optional<int> ParseSingleDigit(std::string_view text) {
  if (text.size() != 1 || !IsDigit(text[0])) return std::nullopt;
  return text[0] - '0';
}

}  // namespace usbsim
