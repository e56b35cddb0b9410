// ResetDeviceUSB: asks the selected meter to reset its USB connection.
#include <cstring>

#include "meterlink/exchange.h"
#include "meterlink/meterlink.h"

extern "C" MLINK_API int32_t ResetDeviceUSB(void) {
  // No battery check and no error-reply mapping: this is sent when a run is
  // being abandoned, whatever state the meter is in.
  char* reply = meterlink::ReplyText();
  const int32_t result = USBComd_SendRecv("RESET_USBLX40", reply);
  if (result != MLINK_OK) return result;
  // The meter answers with its model string, as after "QPID".
  return std::strcmp(reply, "LX40") == 0 ? MLINK_OK : MLINK_NOT_A_METER;
}
