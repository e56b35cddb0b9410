// SET_Rel0 and SET_Rel1: the meter's relative reference.
#include "meterlink/command_reply.h"
#include "meterlink/command_text.h"
#include "meterlink/formats/reading.h"
#include "meterlink/meter_commands.h"

extern "C" MLINK_API int32_t SET_Rel0(void) {
  using namespace meterlink;
  return ExpectOk(SendAssembled(AssembleCommand("SET_REL0")));
}

extern "C" MLINK_API int32_t SET_Rel1(const Reading* reading) {
  using namespace meterlink;
  if (reading == nullptr) return MLINK_BAD_ARGUMENT;
  // A unit outside 9 to 13, or a value the seven characters cannot hold:
  // nothing is sent.
  const std::optional<ReadingText> text = EncodeReading(reading->value, reading->unit);
  if (!text) return MLINK_BAD_ARGUMENT;
  return ExpectOk(SendAssembled(AssembleCommand("SET_REL1", {text->view()})));
}
