#include "formats/reply_fields.h"

#include <cstring>

namespace meterlink {
namespace {

constexpr bool IsSeparator(char c) { return c == ':' || c == ','; }

}  // namespace

ReplyFields SplitReplyFields(std::string_view reply) noexcept {
  reply = reply.substr(0, reply.find('\0'));
  ReplyFields out;
  std::size_t i = 0;
  while (i < reply.size()) {
    while (i < reply.size() && IsSeparator(reply[i])) ++i;
    if (i == reply.size()) break;
    const std::size_t begin = i;
    while (i < reply.size() && !IsSeparator(reply[i])) ++i;
    if (out.count_ == kMaxReplyFields) {
      out.truncated_ = true;
      break;
    }
    out.fields_[out.count_++] = reply.substr(begin, i - begin);
  }
  return out;
}

ReplyFields SplitReplyFields(const char* reply, std::size_t buffer_size) noexcept {
  if (reply == nullptr) return ReplyFields{};
  const void* nul = std::memchr(reply, '\0', buffer_size);
  const std::size_t length = nul != nullptr
                                 ? static_cast<std::size_t>(static_cast<const char*>(nul) - reply)
                                 : buffer_size;
  return SplitReplyFields(std::string_view(reply, length));
}

}  // namespace meterlink
