#include "page_strings.h"

#include <nlohmann/json.hpp>

#include "string_table.h"

namespace lx40::page {

namespace {

struct Named {
  const char* name;
  uint32_t id;
};

// Every entry of lx40's table by its name: the page picks its own words
// and the steps and results the events carry.
#define LX40_STRING(name, id, english, japanese) {#name, id},
constexpr Named kNamed[] = {
#include "lx40_strings.inc"
};
#undef LX40_STRING

}  // namespace

std::string PageStringsJson() {
  nlohmann::ordered_json english = nlohmann::ordered_json::object();
  nlohmann::ordered_json japanese = nlohmann::ordered_json::object();
  for (const Named& entry : kNamed) {
    english[entry.name] = std::string(LookupString(entry.id, UiLanguage::English));
    japanese[entry.name] = std::string(LookupString(entry.id, UiLanguage::Japanese));
  }
  nlohmann::ordered_json strings;
  strings["en"] = std::move(english);
  strings["ja"] = std::move(japanese);
  return strings.dump(-1, ' ', true);
}

}  // namespace lx40::page
