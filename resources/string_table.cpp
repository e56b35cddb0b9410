#include "string_table.h"

namespace {

#define LX40_STRING(name, id, en, ja) StringEntry{id, en, ja},
constexpr StringEntry kWizardEntries[] = {
#include "wizard_strings.inc"
};
constexpr StringEntry kLx40Entries[] = {
#include "lx40_strings.inc"
};
#undef LX40_STRING

// Each table keeps to its id range, so an id names one entry of one table.
constexpr bool AllIn(std::span<const StringEntry> table, uint32_t first, uint32_t last) {
  for (const StringEntry& entry : table) {
    if (entry.id < first || entry.id > last) return false;
  }
  return true;
}
static_assert(AllIn(kWizardEntries, 100, 999), "wizard_strings.inc: ids are 100 to 999");
static_assert(AllIn(kLx40Entries, 1000, 1999), "lx40_strings.inc: ids are 1000 to 1999");

const StringEntry* FindEntry(std::span<const StringEntry> table, uint32_t id) {
  for (const StringEntry& entry : table) {
    if (entry.id == id) return &entry;
  }
  return nullptr;
}

const StringEntry* FindEntry(uint32_t id) {
  const StringEntry* entry = FindEntry(kWizardEntries, id);
  return entry != nullptr ? entry : FindEntry(kLx40Entries, id);
}

std::string_view TextOf(const StringEntry* entry, UiLanguage language) {
  if (entry == nullptr) return {};
  return language == UiLanguage::Japanese ? entry->japanese : entry->english;
}

}  // namespace

std::span<const StringEntry> WizardStrings() { return kWizardEntries; }

std::span<const StringEntry> Lx40Strings() { return kLx40Entries; }

std::string_view LookupString(std::span<const StringEntry> table, uint32_t id,
                              UiLanguage language) {
  return TextOf(FindEntry(table, id), language);
}

std::string_view LookupString(uint32_t id, UiLanguage language) {
  return TextOf(FindEntry(id), language);
}

bool HasString(uint32_t id) { return FindEntry(id) != nullptr; }
