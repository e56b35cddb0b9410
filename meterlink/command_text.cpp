#include "command_text.h"

#include <cstring>

namespace meterlink {
namespace {

// Appends `part` at `length` when it fits with the terminating NUL.
bool Append(char* text, std::size_t& length, std::string_view part) {
  if (part.size() >= kCommandTextSize - length) return false;
  std::memcpy(text + length, part.data(), part.size());
  length += part.size();
  text[length] = '\0';
  return true;
}

}  // namespace

const char* AssembleCommand(Meter& meter, std::string_view word,
                            std::initializer_list<std::string_view> params) {
  char* text = meter.command_text();
  text[0] = '\0';
  std::size_t length = 0;
  bool fits = Append(text, length, word);
  std::string_view separator = ":";
  for (const std::string_view param : params) {
    fits = fits && Append(text, length, separator) && Append(text, length, param);
    separator = ",";
  }
  if (!fits) {
    text[0] = '\0';
    return nullptr;
  }
  return text;
}

}  // namespace meterlink
