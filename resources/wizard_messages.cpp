#include "wizard_messages.h"

#include "mlink.h"
#include "string_ids.h"

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
