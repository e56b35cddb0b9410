// "GET_MESRDATA", "GET_REL" and "SET_REL1": reading texts from and to the
// meter, converted to and from the unit the caller gives.
#include <cstring>

#include "command_text.h"
#include "commands.h"
#include "formats/reading.h"

namespace meterlink {
namespace {

int32_t QueryReading(Meter& meter, const char* word, Reading& reading) {
  const int32_t sent = SendAssembled(meter, AssembleCommand(meter, word));
  if (sent != MLINK_OK) return sent;

  ParsedReading parsed;
  const char* reply = meter.reply_text();
  switch (ParseReading(std::string_view(reply, strnlen(reply, kReplyTextSize)), parsed)) {
    case ReadingStatus::kMarkN:
      return MLINK_MODE_OR_NO_DATA;
    case ReadingStatus::kMalformed:
      return MLINK_NOT_RECOGNISED;
    case ReadingStatus::kOk:
      break;
  }
  const std::optional<ConvertedReading> converted = ConvertReading(parsed, reading.unit);
  if (!converted) return MLINK_BAD_ARGUMENT;  // record unchanged
  reading.value = converted->value;
  reading.unit = converted->unit;  // a marked reading hands the request back
  return MLINK_OK;
}

}  // namespace

int32_t QueryMeasurement(Meter& meter, Reading& reading) {
  return QueryReading(meter, "GET_MESRDATA", reading);
}

int32_t QueryRelative(Meter& meter, Reading& reading) {
  return QueryReading(meter, "GET_REL", reading);
}

int32_t SetRelative(Meter& meter, const Reading& reading) {
  // A unit outside 9 to 13, or a value the seven characters cannot hold:
  // nothing is sent.
  const std::optional<ReadingText> text = EncodeReading(reading.value, reading.unit);
  if (!text) return MLINK_BAD_ARGUMENT;
  return ExpectOk(meter, SendAssembled(meter, AssembleCommand(meter, "SET_REL1", {text->view()})));
}

}  // namespace meterlink
