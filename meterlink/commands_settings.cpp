// "GET_AVE"/"SET_AVE", "GET_RANGE"/"SET_RANGE" and "GET_APS"/"SET_APS": the
// averaging count, the range and auto power save.
#include <cstring>

#include "command_text.h"
#include "commands.h"
#include "formats/signed_field.h"

namespace meterlink {
namespace {

constexpr int kNumberDigits = 5;

// A number setting: the query reads field 1 as a decimal integer, the set
// sends the value as a five-digit signed field.
int32_t QueryNumber(Meter& meter, const char* word, int32_t& value) {
  const int32_t sent = SendAssembled(meter, AssembleCommand(meter, word));
  if (sent != MLINK_OK) return sent;
  const std::optional<int32_t> number = IntegerField(CurrentReplyFields(meter), 1);
  if (!number) return MLINK_NOT_RECOGNISED;
  value = *number;
  return MLINK_OK;
}

int32_t SetNumber(Meter& meter, const char* word, int32_t value) {
  const std::optional<SignedField> field = FormatSigned(value, kNumberDigits);
  if (!field) return MLINK_BAD_ARGUMENT;  // beyond +-19999: nothing sent
  return ExpectOk(meter, SendAssembled(meter, AssembleCommand(meter, word, {field->view()})));
}

}  // namespace

int32_t QueryAveraging(Meter& meter, int32_t& count) {
  return QueryNumber(meter, "GET_AVE", count);
}

int32_t SetAveraging(Meter& meter, int32_t count) { return SetNumber(meter, "SET_AVE", count); }

int32_t QueryRange(Meter& meter, int32_t& range) { return QueryNumber(meter, "GET_RANGE", range); }

int32_t SetRange(Meter& meter, int32_t range) { return SetNumber(meter, "SET_RANGE", range); }

int32_t QueryAps(Meter& meter, int32_t& on) {
  const int32_t sent = SendAssembled(meter, AssembleCommand(meter, "GET_APS"));
  if (sent != MLINK_OK) return sent;
  const char* reply = meter.reply_text();
  if (std::strcmp(reply, "ON") == 0) {
    on = 1;
  } else if (std::strcmp(reply, "OFF") == 0) {
    on = 0;
  } else {
    return MLINK_NOT_RECOGNISED;
  }
  return MLINK_OK;
}

int32_t SetAps(Meter& meter, int32_t on) {
  const char* keyword = nullptr;
  if (on == 1) keyword = "ON";
  if (on == 0) keyword = "OFF";
  if (keyword == nullptr) return MLINK_BAD_ARGUMENT;
  return ExpectOk(meter, SendAssembled(meter, AssembleCommand(meter, "SET_APS", {keyword})));
}

}  // namespace meterlink
