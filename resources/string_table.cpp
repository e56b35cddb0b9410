#include "string_table.h"

namespace {

#define LX40_STRING(name, id, en, ja) StringEntry{id, en, ja},
constexpr StringEntry kEntries[] = {
#include "wizard_strings.inc"
};
#undef LX40_STRING

const StringEntry* FindEntry(uint32_t id) {
  for (const StringEntry& entry : kEntries) {
    if (entry.id == id) return &entry;
  }
  return nullptr;
}

}  // namespace

std::span<const StringEntry> AllStrings() { return kEntries; }

std::string_view LookupString(uint32_t id, UiLanguage language) {
  const StringEntry* entry = FindEntry(id);
  if (entry == nullptr) return {};
  return language == UiLanguage::Japanese ? entry->japanese : entry->english;
}

bool HasString(uint32_t id) { return FindEntry(id) != nullptr; }
