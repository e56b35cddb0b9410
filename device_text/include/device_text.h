// Text a meter sent (serial number, IDN fields, replies), kept exact and
// made safe to show on a screen, a terminal, in JSON or in a log: printable
// ASCII stays as it is, every other byte (and the backslash itself) becomes
// "\xNN", so no control sequence, no lead byte of a multi-byte code page and
// no invalid UTF-8 gets through, and two different texts never look the
// same. Escaped() keeps everything (records); ForDisplay() is never longer
// than `max_chars` (cut with "..." at the end). Unescape() turns what a user
// typed back into the bytes: what users see they can type. Header-only: the
// wizard, which binds Meterlink by ordinal, and lx40 share it.
#ifndef LX40_DEVICE_TEXT_H
#define LX40_DEVICE_TEXT_H

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace devtext {

inline constexpr std::size_t kDefaultMaxChars = 120;

namespace detail {

inline constexpr char kHex[] = "0123456789ABCDEF";

inline bool Printable(unsigned char byte) { return byte >= 0x20 && byte <= 0x7E && byte != '\\'; }

inline int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The one escaper: at most `max_chars`, cut with "..." (never inside an
// escape) when the whole does not fit.
inline std::string Escape(std::string_view raw, std::size_t max_chars) {
  static constexpr std::string_view kCut = "...";
  std::string shown;
  std::size_t fits_with_cut = 0;  // length of the whole units that leave room for "..."
  for (const char c : raw) {
    const auto byte = static_cast<unsigned char>(c);
    const bool printable = Printable(byte);
    if (shown.size() + (printable ? 1 : 4) > max_chars) {
      shown.resize(fits_with_cut);
      if (shown.size() + kCut.size() <= max_chars) shown += kCut;
      return shown;
    }
    if (printable) {
      shown.push_back(c);
    } else {
      shown += "\\x";
      shown.push_back(kHex[byte >> 4]);
      shown.push_back(kHex[byte & 0x0F]);
    }
    if (shown.size() + kCut.size() <= max_chars) fits_with_cut = shown.size();
  }
  return shown;
}

}  // namespace detail

// The whole text, escaped: for records, which are never cut.
inline std::string Escaped(std::string_view raw) {
  return detail::Escape(raw, std::numeric_limits<std::size_t>::max());
}

// The text escaped and shortened to `max_chars` for a screen.
inline std::string ForDisplay(std::string_view raw, std::size_t max_chars = kDefaultMaxChars) {
  return detail::Escape(raw, max_chars);
}

// The one un-escaper: "\xNN" (either case of hex digit) becomes the byte
// NN, every other character stays. Nothing (std::nullopt) when a backslash
// does not start a whole "\xNN": the escaper never writes a bare one.
inline std::optional<std::string> Unescape(std::string_view text) {
  std::string raw;
  raw.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      raw.push_back(text[i]);
      continue;
    }
    if (text.size() - i < 4) return std::nullopt;
    if (text[i + 1] != 'x' && text[i + 1] != 'X') return std::nullopt;
    const int high = detail::HexValue(text[i + 2]);
    const int low = detail::HexValue(text[i + 3]);
    if (high < 0 || low < 0) return std::nullopt;
    raw.push_back(static_cast<char>(high * 16 + low));
    i += 3;
  }
  return raw;
}

}  // namespace devtext

#endif
