// The string tables as data, English and Japanese: the wizard's
// (wizard_strings.inc: the same entries as Sensorwiz.exe's Windows string
// tables, English 1033 and Japanese 1041) and lx40's and the station page's
// (lx40_strings.inc). Their ids never meet (100 to 999, 1000 to 1999).
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

// Every entry of the wizard's table, in the order of wizard_strings.inc.
std::span<const StringEntry> WizardStrings();
// Every entry of lx40's table, in the order of lx40_strings.inc.
std::span<const StringEntry> Lx40Strings();

// The UTF-8 text of entry `id` of `table` in `language`; empty when the
// table has no such entry, as the platform's string loader gives for an
// unknown id.
std::string_view LookupString(std::span<const StringEntry> table, uint32_t id,
                              UiLanguage language = UiLanguage::English);
// The same in whichever table holds `id`.
std::string_view LookupString(uint32_t id, UiLanguage language = UiLanguage::English);

// True when either table has an entry `id` (an entry may itself be empty).
bool HasString(uint32_t id);

#endif
