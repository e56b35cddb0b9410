#include "formats/mode_keyword.h"

#include <array>

namespace meterlink {
namespace {

constexpr std::array<std::string_view, kModeKeywordCount> kModeKeywords = {
    "REL0", "REL1", "ABS", "OFF", "MAX", "MIN", "AVE", "MANU", "AUTO", "DB", "W"};

}  // namespace

int32_t FindModeKeyword(std::string_view field, int32_t start) {
  // -1 is what a failed search leaves behind; any negative start reads the
  // whole table rather than an index before it.
  for (int32_t i = start < 0 ? 0 : start; i < kModeKeywordCount; ++i) {
    if (field == kModeKeywords[static_cast<std::size_t>(i)]) return i;
  }
  return -1;
}

std::optional<std::string_view> ModeKeywordText(int32_t index) {
  if (index < 0 || index >= kModeKeywordCount) return std::nullopt;
  return kModeKeywords[static_cast<std::size_t>(index)];
}

}  // namespace meterlink
