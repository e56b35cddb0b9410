// Raw byte transfers with the current meter, on which the handshaken sensor
// data load is built: single bytes and short blocks out on the command pipe,
// and the meter's answers in from the reply pipe, taken byte by byte.
#include "meterlink/exchange.h"
#include "meterlink/meterlink.h"

namespace meterlink {
namespace {

// Each read lands at the start of the receive buffer, so only its first
// kReadBlockSize bytes are ever filled.
uint8_t g_receiveBuffer[kReceiveBufferSize];
static_assert(kReadBlockSize <= kReceiveBufferSize);
// Index of the next byte a take hands out.
int32_t g_readPosition = 0;
// Bytes of the last non-empty block: a take never hands out more. 0 when the
// last answer carried no byte or its receive failed, so stale bytes of an
// earlier answer are never taken for a new one.
int32_t g_bytesOnHand = 0;

int32_t WriteRaw(const uint8_t* data, uint32_t size) {
  const PipePair pipes = CurrentPipes();
  if (pipes.command == USBHOST_INVALID) return MLINK_RAW_FAILED;
  uint32_t written = 0;  // the count the write reports is not looked at
  return usbhost_write(pipes.command, data, size, &written) ? MLINK_OK : MLINK_RAW_FAILED;
}

int32_t Receive() {
  g_readPosition = 0;
  g_bytesOnHand = 0;
  const PipePair pipes = CurrentPipes();
  if (pipes.reply == USBHOST_INVALID) return MLINK_RAW_FAILED;

  int32_t lastBlock = 0;
  for (int reads = 0; reads < kMaxBlocksPerReceive; ++reads) {
    uint32_t received = 0;
    if (!usbhost_read(pipes.reply, g_receiveBuffer, kReadBlockSize, &received)) {
      return MLINK_RAW_FAILED;
    }
    if (received == 0) {
      g_bytesOnHand = lastBlock;
      return MLINK_OK;
    }
    // Never trust the reported count beyond what was asked for.
    lastBlock = static_cast<int32_t>(received < kReadBlockSize ? received : kReadBlockSize);
  }
  return MLINK_RAW_FAILED;  // the meter never stopped sending
}

int32_t Take(uint8_t* out) {
  if (g_readPosition >= g_bytesOnHand) return MLINK_RAW_FAILED;  // *out untouched
  *out = g_receiveBuffer[g_readPosition];
  ++g_readPosition;
  return MLINK_OK;
}

}  // namespace
}  // namespace meterlink

extern "C" MLINK_API int32_t sendUSBBin(int32_t value) {
  const uint8_t byte = static_cast<uint8_t>(value & 0xFF);
  return meterlink::WriteRaw(&byte, 1);
}

extern "C" MLINK_API int32_t sendUSBBytes(const uint8_t* data, int32_t count) {
  if (data == nullptr) return MLINK_BAD_ARGUMENT;
  // Only the low byte counts, as a signed 8-bit number: blocks of 1 to 127.
  const int8_t blockSize = static_cast<int8_t>(count & 0xFF);
  if (blockSize <= 0) return MLINK_RAW_FAILED;  // nothing sensible to send
  return meterlink::WriteRaw(data, static_cast<uint32_t>(blockSize));
}

extern "C" MLINK_API int32_t recvUSBBin(uint8_t* out) {
  return out == nullptr ? meterlink::Receive() : meterlink::Take(out);
}
