#include "meter_messages.h"

#include "mlink.h"
#include "string_table.h"
#include "wizard_messages.h"

namespace lx40 {

std::string EnglishText(uint32_t id) { return std::string(LookupString(id, UiLanguage::English)); }

std::string MeterMessage(int32_t code) {
  const uint32_t id = WizardMessageId(code);
  if (id != 0) {
    const std::string text = EnglishText(id);
    if (!text.empty()) return text;
  }
  return mlink_strerror(code);
}

}  // namespace lx40
