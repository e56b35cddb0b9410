// The commands that take no value and expect "OK": the settings or the
// wavelength list back to the meter's defaults, and the relative reference
// taken from the current reading.
#include "command_text.h"
#include "commands.h"

namespace meterlink {
namespace {

int32_t SendExpectingOk(Meter& meter, const char* word) {
  return ExpectOk(meter, SendAssembled(meter, AssembleCommand(meter, word)));
}

}  // namespace

int32_t ResetSettings(Meter& meter) { return SendExpectingOk(meter, "RESET_SETDATA"); }

int32_t ResetWavelengths(Meter& meter) { return SendExpectingOk(meter, "RESET_WVLEN"); }

int32_t SetRelativeToCurrent(Meter& meter) { return SendExpectingOk(meter, "SET_REL0"); }

}  // namespace meterlink
