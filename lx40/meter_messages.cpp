#include "meter_messages.h"

#include "mlink.h"
#include "string_ids.h"
#include "string_table.h"

namespace lx40 {

namespace {

// The wizard's message id for a result code, 0 where it shows none. The
// wizard maps its transport, reply and handshake failures to the signal
// error and a low battery to the battery message; the handle API's load
// failures (wrong echo, no answer) are the same situations as the wizard's
// failed transfer steps.
uint32_t WizardMessageId(int32_t code) {
  switch (code) {
    case MLINK_BAD_ARGUMENT:
    case MLINK_TRANSPORT_FAILED:
    case MLINK_NOT_RECOGNISED:
    case MLINK_SENSOR_OR_MEMORY:
    case MLINK_ERR_HANDSHAKE:
    case MLINK_ERR_NO_ANSWER:
      return ids::kMessageSignalError;
    case MLINK_BATTERY_LOW:
      return ids::kMessageNoBattery;
    default:
      return 0;
  }
}

}  // namespace

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
