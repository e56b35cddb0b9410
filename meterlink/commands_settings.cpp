// SQ_Ave, SQ_Range and SQ_Aps: the averaging count, the range and auto
// power save.
#include <cstring>

#include "meterlink/command_reply.h"
#include "meterlink/command_text.h"
#include "meterlink/exchange.h"
#include "meterlink/formats/signed_field.h"
#include "meterlink/meter_commands.h"

namespace {

constexpr int kNumberDigits = 5;

// A number setting: query reads field 1 as a decimal integer, set sends the
// value as a five-digit signed field.
int32_t NumberSetting(const char* queryWord, const char* setWord, int32_t flag, int32_t* value) {
  using namespace meterlink;
  if (value == nullptr) return MLINK_BAD_ARGUMENT;
  if (flag == 1) {
    const int32_t sent = SendAssembled(AssembleCommand(queryWord));
    if (sent != MLINK_OK) return sent;
    const std::optional<int32_t> number = IntegerField(CurrentReplyFields(), 1);
    if (!number) return MLINK_NOT_RECOGNISED;
    *value = *number;
    return MLINK_OK;
  }
  if (flag != 0) return MLINK_BAD_ARGUMENT;
  const std::optional<SignedField> field = FormatSigned(*value, kNumberDigits);
  if (!field) return MLINK_BAD_ARGUMENT;  // beyond +-19999: nothing sent
  return ExpectOk(SendAssembled(AssembleCommand(setWord, {field->view()})));
}

}  // namespace

extern "C" MLINK_API int32_t SQ_Ave(int32_t flag, int32_t* value) {
  return NumberSetting("GET_AVE", "SET_AVE", flag, value);
}

extern "C" MLINK_API int32_t SQ_Range(int32_t flag, int32_t* value) {
  return NumberSetting("GET_RANGE", "SET_RANGE", flag, value);
}

extern "C" MLINK_API int32_t SQ_Aps(int32_t flag, int32_t* on) {
  using namespace meterlink;
  if (on == nullptr) return MLINK_BAD_ARGUMENT;
  if (flag == 1) {
    const int32_t sent = SendAssembled(AssembleCommand("GET_APS"));
    if (sent != MLINK_OK) return sent;
    const char* reply = ReplyText();
    if (std::strcmp(reply, "ON") == 0) {
      *on = 1;
    } else if (std::strcmp(reply, "OFF") == 0) {
      *on = 0;
    } else {
      return MLINK_NOT_RECOGNISED;
    }
    return MLINK_OK;
  }
  if (flag != 0) return MLINK_BAD_ARGUMENT;
  const char* keyword = nullptr;
  if (*on == 1) keyword = "ON";
  if (*on == 0) keyword = "OFF";
  if (keyword == nullptr) return MLINK_BAD_ARGUMENT;
  return ExpectOk(SendAssembled(AssembleCommand("SET_APS", {keyword})));
}
