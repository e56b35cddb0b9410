// The two steps every meter command goes through: the battery check and the
// mapping of the meter's error replies to result codes.
#include <cstring>

#include "exchange.h"
#include "mlink.h"

namespace meterlink {
namespace {

struct ErrorReply {
  const char* text;
  int32_t result;
};

// Compared whole and case-sensitively, in this order.
constexpr ErrorReply kErrorReplies[] = {
    {"CMD_ERR", MLINK_NOT_RECOGNISED},     {"DATA_ERR", MLINK_BAD_ARGUMENT},
    {"NO_SENSER", MLINK_SENSOR_OR_MEMORY}, {"MEM_ERR", MLINK_SENSOR_OR_MEMORY},
    {"MODE_ERR", MLINK_MODE_OR_NO_DATA},
};

int32_t Exchange(Meter& meter, const char* command, char* reply) {
  const int32_t sent = meter.SendText(command);
  if (sent != MLINK_OK) return sent;
  return meter.ReceiveText(reply);
}

}  // namespace

int32_t CheckBattery(Meter& meter) {
  char* reply = meter.reply_text();
  const int32_t result = Exchange(meter, "BTRY", reply);
  if (result != MLINK_OK) return result;
  if (std::strcmp(reply, "BATERY_LO") == 0) return MLINK_BATTERY_LOW;
  if (std::strcmp(reply, "BATERY_OK") == 0) return MLINK_OK;
  return MLINK_NOT_RECOGNISED;
}

int32_t SendMeterCommand(Meter& meter, const char* command, char* reply, int32_t skipBattery) {
  if (command == nullptr || reply == nullptr) return MLINK_BAD_ARGUMENT;
  if (skipBattery == 0) {
    const int32_t battery = CheckBattery(meter);
    if (battery != MLINK_OK) return battery;
  }
  const int32_t result = Exchange(meter, command, reply);
  if (result != MLINK_OK) return result;
  for (const ErrorReply& error : kErrorReplies) {
    if (std::strcmp(reply, error.text) == 0) return error.result;
  }
  return MLINK_OK;
}

}  // namespace meterlink
