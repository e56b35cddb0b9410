// ResetAllData and ResetAllWave: the meter's settings, or its wavelength
// list, back to the meter's defaults.
#include "meterlink/command_reply.h"
#include "meterlink/command_text.h"
#include "meterlink/meter_commands.h"

extern "C" MLINK_API int32_t ResetAllData(void) {
  using namespace meterlink;
  return ExpectOk(SendAssembled(AssembleCommand("RESET_SETDATA")));
}

extern "C" MLINK_API int32_t ResetAllWave(void) {
  using namespace meterlink;
  return ExpectOk(SendAssembled(AssembleCommand("RESET_WVLEN")));
}
