// What waits to be sent to one event-stream client. Bounded: a browser
// that does not read (stuck, asleep, on a slow link) fills it; the stream
// then takes its next events from the feed's kept ones as it drains, and
// is dropped once those it needs are no longer kept, rather than held in
// memory or waited for. Used on the server's thread only.
#ifndef LX40_LX40_PAGE_CLIENT_QUEUE_H
#define LX40_LX40_PAGE_CLIENT_QUEUE_H

#include <cstddef>
#include <deque>
#include <memory>
#include <string>

namespace lx40::page {

// Enough for minutes of a busy line at a browser that reads now and then
// (a unit's events are a few kilobytes in all).
inline constexpr size_t kClientQueueBytes = 512 * 1024;
inline constexpr size_t kClientQueueMessages = 2048;

class ClientQueue {
 public:
  ClientQueue(size_t max_bytes = kClientQueueBytes, size_t max_messages = kClientQueueMessages)
      : max_bytes_(max_bytes), max_messages_(max_messages) {}

  // False when the message does not fit: the client is too far behind.
  bool Push(std::shared_ptr<const std::string> message);
  bool Empty() const { return messages_.empty(); }
  // The message to send next; stays queued until Pop.
  const std::shared_ptr<const std::string>& Front() const { return messages_.front(); }
  void Pop();
  size_t Bytes() const { return bytes_; }

 private:
  size_t max_bytes_;
  size_t max_messages_;
  size_t bytes_ = 0;
  std::deque<std::shared_ptr<const std::string>> messages_;
};

}  // namespace lx40::page

#endif
