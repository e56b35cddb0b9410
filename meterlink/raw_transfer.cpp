// Raw byte transfers of one meter, on which the handshaken sensor data load
// is built: single bytes and blocks out on the command pipe, and the meter's
// answers in from the reply pipe, taken byte by byte or whole.
#include <cstring>

#include "exchange.h"
#include "mlink.h"

namespace meterlink {

static_assert(kReadBlockSize <= kReceiveBufferSize);

int32_t Meter::WriteRaw(const uint8_t* data, uint32_t size) {
  if (pipes_.command == USBHOST_INVALID) return MLINK_RAW_FAILED;
  uint32_t written = 0;  // the count the write reports is not looked at
  return usbhost_write(pipes_.command, data, size, &written) ? MLINK_OK : MLINK_RAW_FAILED;
}

int32_t Meter::ReceiveLastBlock() {
  read_position_ = 0;
  bytes_on_hand_ = 0;
  if (pipes_.reply == USBHOST_INVALID) return MLINK_RAW_FAILED;

  // Each read lands at the start of the receive buffer, so only its first
  // kReadBlockSize bytes are ever filled.
  int32_t lastBlock = 0;
  for (int reads = 0; reads < kMaxBlocksPerReceive; ++reads) {
    uint32_t received = 0;
    if (!usbhost_read(pipes_.reply, receive_buffer_, kReadBlockSize, &received)) {
      return MLINK_RAW_FAILED;
    }
    if (received == 0) {
      bytes_on_hand_ = lastBlock;
      return MLINK_OK;
    }
    // Never trust the reported count beyond what was asked for.
    lastBlock = static_cast<int32_t>(received < kReadBlockSize ? received : kReadBlockSize);
  }
  return MLINK_RAW_FAILED;  // the meter never stopped sending
}

int32_t Meter::ReceiveWhole(uint8_t* buffer, std::size_t size, std::size_t* received) {
  read_position_ = 0;
  bytes_on_hand_ = 0;
  *received = 0;
  if (pipes_.reply == USBHOST_INVALID) return MLINK_RAW_FAILED;

  uint8_t block[kReadBlockSize];
  std::size_t total = 0;
  for (int reads = 0; reads < kMaxBlocksPerReceive; ++reads) {
    uint32_t count = 0;
    if (!usbhost_read(pipes_.reply, block, kReadBlockSize, &count)) return MLINK_RAW_FAILED;
    if (count == 0) {
      *received = total;
      return MLINK_OK;
    }
    if (count > kReadBlockSize) count = kReadBlockSize;
    if (total < size) {
      const std::size_t room = size - total;
      std::memcpy(buffer + total, block, count < room ? count : room);
    }
    total += count;
  }
  return MLINK_RAW_FAILED;  // the meter never stopped sending
}

int32_t Meter::Take(uint8_t* out) {
  if (read_position_ >= bytes_on_hand_) return MLINK_RAW_FAILED;  // *out untouched
  *out = receive_buffer_[read_position_];
  ++read_position_;
  return MLINK_OK;
}

}  // namespace meterlink
