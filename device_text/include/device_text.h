// Text a meter sent (serial number, IDN fields, replies), made safe to show
// on a screen, a terminal or in a log: printable ASCII stays as it is,
// every other byte becomes "\xNN", so no control sequence, no lead byte of a
// multi-byte code page and no invalid UTF-8 gets through, and the result is
// never longer than `max_chars` (cut with "..." at the end). Header-only: the
// wizard, which binds Meterlink by ordinal, and lx40 share it.
#ifndef LX40_DEVICE_TEXT_H
#define LX40_DEVICE_TEXT_H

#include <cstddef>
#include <string>
#include <string_view>

namespace devtext {

inline constexpr std::size_t kDefaultMaxChars = 120;

inline std::string ForDisplay(std::string_view raw, std::size_t max_chars = kDefaultMaxChars) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  static constexpr std::string_view kCut = "...";
  std::string shown;
  std::size_t fits_with_cut = 0;  // length of the whole units that leave room for "..."
  for (const char c : raw) {
    const auto byte = static_cast<unsigned char>(c);
    const bool printable = byte >= 0x20 && byte <= 0x7E && byte != '\\';
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

}  // namespace devtext

#endif
