// mlink_strerror and mlink_version: constant texts for the result codes and
// the library's version.
#include "mlink.h"

extern "C" MLINK_API const char* MLINK_CALL mlink_strerror(int32_t code) {
  switch (code) {
    case MLINK_OK:
      return "success";
    case MLINK_DONE:
      return "the meter stored the whole table";
    case MLINK_RAW_FAILED:
      return "a raw transfer failed";
    case MLINK_BAD_ARGUMENT:
      return "bad argument, or the meter refused a value (DATA_ERR)";
    case MLINK_TRANSPORT_FAILED:
      return "transfer to or from the meter failed";
    case MLINK_NOT_RECOGNISED:
      return "reply not recognised, or the meter did not know the command (CMD_ERR)";
    case MLINK_BATTERY_LOW:
      return "the meter's battery is low";
    case MLINK_NOT_A_METER:
      return "no LX40 meter found";
    case MLINK_SENSOR_OR_MEMORY:
      return "the meter reports no sensor or a memory error";
    case MLINK_MODE_OR_NO_DATA:
      return "the meter's mode does not allow this, or it has no reading";
    case MLINK_ERR_INVALID_HANDLE:
      return "invalid meter handle (null, closed or unknown)";
    case MLINK_ERR_NO_SUCH_METER:
      return "no free LX40 meter with this serial number is attached";
    case MLINK_ERR_ALREADY_OPEN:
      return "the meter is already open in this program";
    case MLINK_ERR_BUFFER_TOO_SMALL:
      return "the buffer is too small for the reply";
    case MLINK_ERR_TABLE_SIZE:
      return "table: the size field does not match the table's length";
    case MLINK_ERR_TABLE_RECORDS:
      return "table: the record count does not match its size";
    case MLINK_ERR_TABLE_CRC:
      return "table: the CRC does not match";
    case MLINK_ERR_TABLE_SLOT:
      return "table: the slot is out of range";
    case MLINK_ERR_LOAD_STATE:
      return "no table load in progress, or one is";
    case MLINK_ERR_HANDSHAKE:
      return "table load: wrong echo or no acknowledgement from the meter";
    case MLINK_ERR_NO_ANSWER:
      return "table load: the meter stopped answering";
    case MLINK_ERR_LOAD_ABANDONED:
      return "a table load was stopped midway: unplug the meter and plug it in again";
    case MLINK_ERR_NO_MEMORY:
      return "out of memory";
    case MLINK_ERR_LOCK_FAILED:
      return "the meter's lock file could not be opened or made";
    case MLINK_ERR_NEEDS_REPLUG:
      return "the meter was left in the middle of a table: unplug it and plug it in again";
    case MLINK_ERR_REPLUGGED:
      return "the meter was plugged in again since it was listed";
    case MLINK_ERR_IN_USE_ELSEWHERE:
      return "the meter is in use by another program";
    case MLINK_ERR_NO_PERMISSION:
      return "no permission for the meter's device file: install the udev rules";
    default:
      return "unknown result code";
  }
}

extern "C" MLINK_API uint32_t MLINK_CALL mlink_version(void) { return MLINK_VERSION; }
