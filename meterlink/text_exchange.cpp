// The text exchange of one meter: one text command out on the command pipe,
// one text reply in from the reply pipe.
//
// Command frame: the text (1 to 100 characters) and LF, in one write.
// Reply frame: text ended by CR; whatever follows the first CR is dropped.
// The reply is over when a read completes with no byte. Every read asks for
// 64 bytes and lands at the start of the same zeroed buffer, so a reply must
// come in one block, and a reply split over several reads keeps only what the
// last block wrote over the earlier ones.
#include <cstring>

#include "exchange.h"
#include "mlink.h"

namespace meterlink {
namespace {

// Holds the longest frame (100 characters and LF) with room to spare.
constexpr std::size_t kFrameBufferSize = 104;
// Where reply blocks land. Reads fill at most its first kReadBlockSize bytes,
// so the rest stays zero and the text in it is always NUL-terminated.
constexpr std::size_t kReplyBlockBufferSize = 100;
static_assert(kReadBlockSize < kReplyBlockBufferSize);

}  // namespace

int32_t Meter::SendText(const char* command) {
  // Bounded: never looks further than one character past the limit.
  const std::size_t length = strnlen(command, kMaxCommandLength + 1);
  if (length > kMaxCommandLength) return MLINK_TRANSPORT_FAILED;

  char frame[kFrameBufferSize];
  std::memcpy(frame, command, length);
  frame[length] = '\n';

  if (pipes_.command == USBHOST_INVALID) return MLINK_TRANSPORT_FAILED;
  uint32_t written = 0;  // the count the write reports is not looked at
  if (!usbhost_write(pipes_.command, frame, static_cast<uint32_t>(length + 1), &written)) {
    return MLINK_TRANSPORT_FAILED;
  }
  return MLINK_OK;
}

int32_t Meter::ReceiveText(char* reply) {
  char block[kReplyBlockBufferSize] = {};

  bool complete = false;
  if (pipes_.reply != USBHOST_INVALID) {
    for (int reads = 0; reads < kMaxBlocksPerReceive; ++reads) {
      uint32_t received = 0;
      if (!usbhost_read(pipes_.reply, block, kReadBlockSize, &received)) break;
      if (received == 0) {
        complete = true;
        break;
      }
    }
  }
  if (!complete) {
    // Read failed, no meter selected, or the meter never stopped sending.
    reply[0] = '\0';
    return MLINK_TRANSPORT_FAILED;
  }

  // The reply is text: it ends at the first NUL (at the latest at the zero
  // padding behind the 64 bytes a read can fill), and its CR must come
  // before that.
  const std::size_t textLength = strnlen(block, kReadBlockSize);
  const void* cr = std::memchr(block, '\r', textLength);
  if (cr == nullptr) return MLINK_NOT_RECOGNISED;  // reply left untouched

  const std::size_t replyLength = static_cast<std::size_t>(static_cast<const char*>(cr) - block);
  // At most 63 characters and the NUL: the caller's buffer gets
  // replyLength + 1 <= 64 bytes.
  std::memcpy(reply, block, replyLength);
  reply[replyLength] = '\0';
  return MLINK_OK;
}

}  // namespace meterlink
