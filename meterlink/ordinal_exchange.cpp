// Ordinals 1 and 18 to 21: the text and raw exchanges with the selected
// meter, a thin layer over that meter's exchange (exchange.h).
#include <cstring>

#include "device_table.h"
#include "meterlink.h"

using meterlink::Meter;
using meterlink::SelectedMeter;

extern "C" MLINK_API int32_t MLINK_CALL USBComd_SendRecv(const char* command, char* reply) {
  if (command == nullptr && reply == nullptr) return MLINK_RAW_FAILED;
  Meter& meter = SelectedMeter();
  if (command != nullptr) {
    const int32_t sent = meter.SendText(command);
    if (sent != MLINK_OK || reply == nullptr) return sent;
  }
  return meter.ReceiveText(reply);
}

extern "C" MLINK_API int32_t MLINK_CALL sendUSBBin(int32_t value) {
  const uint8_t byte = static_cast<uint8_t>(value & 0xFF);
  return SelectedMeter().WriteRaw(&byte, 1);
}

extern "C" MLINK_API int32_t MLINK_CALL sendUSBBytes(const uint8_t* data, int32_t count) {
  if (data == nullptr) return MLINK_BAD_ARGUMENT;
  // Only the low byte counts, as a signed 8-bit number: blocks of 1 to 127.
  const int8_t blockSize = static_cast<int8_t>(count & 0xFF);
  if (blockSize <= 0) return MLINK_RAW_FAILED;  // nothing sensible to send
  return SelectedMeter().WriteRaw(data, static_cast<uint32_t>(blockSize));
}

extern "C" MLINK_API int32_t MLINK_CALL recvUSBBin(uint8_t* out) {
  Meter& meter = SelectedMeter();
  return out == nullptr ? meter.ReceiveLastBlock() : meter.Take(out);
}

extern "C" MLINK_API int32_t MLINK_CALL ResetDeviceUSB(void) {
  // No battery check and no error-reply mapping: this is sent when a run is
  // being abandoned, whatever state the meter is in.
  Meter& meter = SelectedMeter();
  char* reply = meter.reply_text();
  const int32_t result = USBComd_SendRecv("RESET_USBLX40", reply);
  if (result != MLINK_OK) return result;
  // The meter answers with its model string, as after "QPID".
  return std::strcmp(reply, "LX40") == 0 ? MLINK_OK : MLINK_NOT_A_METER;
}
