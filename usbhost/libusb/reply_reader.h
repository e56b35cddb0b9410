// Reads on a meter's reply pipe with the seam's promises: an idle read ends
// empty within the idle bound, an answer ends after a short gap (io_limits.h),
// and no byte the device delivered is lost: bytes of a transfer that timed
// out are returned, and bytes beyond the caller's buffer (a transfer is a
// whole number of packets) are kept for the next read.
#ifndef LX40_USBHOST_LIBUSB_REPLY_READER_H
#define LX40_USBHOST_LIBUSB_REPLY_READER_H

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

namespace usbhost_libusb {

enum class TransferEnd { kCompleted, kTimedOut, kFailed };

// One bulk IN transfer of at most `size` bytes within `timeout_ms`; *got
// receives the bytes delivered, also when it timed out.
using BulkIn =
    std::function<TransferEnd(uint8_t* data, uint32_t size, uint32_t* got, unsigned timeout_ms)>;

class ReplyReader {
 public:
  // `packet_size`: the IN endpoint's wMaxPacketSize (0 is taken as 64).
  explicit ReplyReader(uint32_t packet_size);

  // usbhost_read on the reply pipe: false when the transfer failed.
  bool Read(const BulkIn& bulk_in, uint8_t* data, uint32_t size, uint32_t* done);

  // A command was written: its answer's first read waits the idle bound.
  void NewCommand() { in_answer_ = false; }

 private:
  uint32_t packet_size_;
  std::mutex mutex_;  // one read at a time; guards pending_
  std::deque<uint8_t> pending_;
  std::atomic<bool> in_answer_{false};
};

}  // namespace usbhost_libusb

#endif
