#include "client_queue.h"

namespace lx40::page {

bool ClientQueue::Push(std::shared_ptr<const std::string> message) {
  if (messages_.size() >= max_messages_ || bytes_ + message->size() > max_bytes_) return false;
  bytes_ += message->size();
  messages_.push_back(std::move(message));
  return true;
}

void ClientQueue::Pop() {
  bytes_ -= messages_.front()->size();
  messages_.pop_front();
}

}  // namespace lx40::page
