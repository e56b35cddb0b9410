#include "reply_reader.h"

#include <algorithm>
#include <vector>

#include "io_limits.h"

namespace usbhost_libusb {

ReplyReader::ReplyReader(uint32_t packet_size)
    : packet_size_(packet_size == 0 ? 64 : packet_size) {}

bool ReplyReader::Read(const BulkIn& bulk_in, uint8_t* data, uint32_t size, uint32_t* done) {
  *done = 0;
  std::lock_guard lock(mutex_);
  if (!pending_.empty()) {
    const auto n = static_cast<uint32_t>(std::min<size_t>(size, pending_.size()));
    std::copy_n(pending_.begin(), n, data);
    pending_.erase(pending_.begin(), pending_.begin() + n);
    *done = n;
    in_answer_ = true;
    return true;
  }
  if (size == 0) return true;
  // Whole packets, so a packet longer than what is left of the buffer is
  // not an overflow.
  const uint32_t packets = (size + packet_size_ - 1) / packet_size_;
  std::vector<uint8_t> block(static_cast<size_t>(packets) * packet_size_);
  uint32_t got = 0;
  const unsigned bound = in_answer_ ? kAnswerGapMs : kIdleReadMs;
  const TransferEnd end = bulk_in(block.data(), static_cast<uint32_t>(block.size()), &got, bound);
  if (end == TransferEnd::kFailed) {
    in_answer_ = false;
    return false;
  }
  got = std::min<uint32_t>(got, static_cast<uint32_t>(block.size()));
  if (got == 0) {
    // Idle, or the answer is over.
    in_answer_ = false;
    return true;
  }
  const uint32_t n = std::min(got, size);
  std::copy_n(block.begin(), n, data);
  pending_.insert(pending_.end(), block.begin() + n, block.begin() + got);
  *done = n;
  in_answer_ = true;
  return true;
}

}  // namespace usbhost_libusb
