// The program's string table for the native build: the same entries as the
// Windows string tables (English 1033 and Japanese 1041), read from
// strings.inc.
#ifndef LX40_RESOURCES_STRING_TABLE_H
#define LX40_RESOURCES_STRING_TABLE_H

#include <cstdint>
#include <span>
#include <string_view>

enum class UiLanguage : uint8_t { English, Japanese };

struct StringEntry {
  uint32_t id;
  std::string_view english;
  std::string_view japanese;
};

// Every entry of the table, in the order of strings.inc.
std::span<const StringEntry> AllStrings();

// The UTF-8 text of entry `id` in `language`; empty when there is no such
// entry, as the platform's string loader gives for an unknown id.
std::string_view LookupString(uint32_t id, UiLanguage language = UiLanguage::English);

// True when the table has an entry `id` (an entry may itself be empty).
bool HasString(uint32_t id);

#endif
