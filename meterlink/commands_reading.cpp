// QUES_MeasData and QUES_Rel: a reading text from the meter, converted to
// the unit the caller asks for.
#include <cstring>

#include "meterlink/command_reply.h"
#include "meterlink/command_text.h"
#include "meterlink/exchange.h"
#include "meterlink/formats/reading.h"
#include "meterlink/meter_commands.h"

namespace {

int32_t QueryReading(const char* word, Reading* reading) {
  using namespace meterlink;
  if (reading == nullptr) return MLINK_BAD_ARGUMENT;
  const int32_t sent = SendAssembled(AssembleCommand(word));
  if (sent != MLINK_OK) return sent;

  ParsedReading parsed;
  const char* reply = ReplyText();
  switch (ParseReading(std::string_view(reply, strnlen(reply, kReplyTextSize)), parsed)) {
    case ReadingStatus::kMarkN:
      return MLINK_MODE_OR_NO_DATA;
    case ReadingStatus::kMalformed:
      return MLINK_NOT_RECOGNISED;
    case ReadingStatus::kOk:
      break;
  }
  const std::optional<ConvertedReading> converted = ConvertReading(parsed, reading->unit);
  if (!converted) return MLINK_BAD_ARGUMENT;  // record unchanged
  reading->value = converted->value;
  reading->unit = converted->unit;  // a marked reading hands the request back
  return MLINK_OK;
}

}  // namespace

extern "C" MLINK_API int32_t QUES_MeasData(Reading* reading) {
  return QueryReading("GET_MESRDATA", reading);
}

extern "C" MLINK_API int32_t QUES_Rel(Reading* reading) { return QueryReading("GET_REL", reading); }
