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
  std::string text = mlink_strerror(code);
  // These failures name their cause (a lock file and the system's reason,
  // a port): the call that failed left it for this thread.
  if (code == MLINK_ERR_NO_PERMISSION) {
    // The detail is the whole message: the file and what to do.
    char detail[1100] = {};
    if (mlink_last_error_detail(detail, sizeof detail) == MLINK_OK && detail[0] != '\0') {
      return detail;
    }
    return text;
  }
  if (code == MLINK_ERR_LOCK_FAILED || code == MLINK_ERR_NEEDS_REPLUG ||
      code == MLINK_ERR_REPLUGGED || code == MLINK_ERR_IN_USE_ELSEWHERE) {
    char detail[1100] = {};
    if (mlink_last_error_detail(detail, sizeof detail) == MLINK_OK && detail[0] != '\0') {
      text += std::string(": ") + detail;
    }
  }
  return text;
}

}  // namespace lx40
