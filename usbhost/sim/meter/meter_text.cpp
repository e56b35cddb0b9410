#include "meter/meter_text.h"

namespace usbsim {

CommandLine SplitCommandLine(std::string_view text) {
  CommandLine line;
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) {
    line.word = text;
    return line;
  }
  line.word = text.substr(0, colon);
  line.params = text.substr(colon + 1);
  line.has_params = true;
  return line;
}

bool IsPrintableText(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte > 0x7E) return false;
  }
  return true;
}

std::string TextReply(std::string_view text) {
  std::string frame(text);
  frame.push_back(static_cast<char>(kCarriageReturn));
  return frame;
}

}  // namespace usbsim
