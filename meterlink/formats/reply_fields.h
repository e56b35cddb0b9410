// Splitting a meter reply into its fields: a field ends at every ":" or ",";
// a run of separators counts as one and leading ones are skipped, so no
// field is empty. The fields are views into the caller's reply text and live
// as long as it does.
#ifndef LX40_METERLINK_FORMATS_REPLY_FIELDS_H
#define LX40_METERLINK_FORMATS_REPLY_FIELDS_H

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace meterlink {

// A reply buffer holds 100 characters, so at most 50 fields.
inline constexpr std::size_t kMaxReplyFields = 50;

class ReplyFields {
 public:
  std::size_t count() const noexcept { return count_; }
  // True when the reply had more fields than kMaxReplyFields; the extra
  // ones were dropped.
  bool truncated() const noexcept { return truncated_; }
  // Field `number`, counted from 1 as the commands name them; empty when the
  // reply has fewer fields.
  std::optional<std::string_view> Field(std::size_t number) const noexcept {
    if (number == 0 || number > count_) return std::nullopt;
    return fields_[number - 1];
  }

 private:
  friend ReplyFields SplitReplyFields(std::string_view reply) noexcept;
  std::array<std::string_view, kMaxReplyFields> fields_{};
  std::size_t count_ = 0;
  bool truncated_ = false;
};

// The reply ends at its first NUL or at the end of the view.
[[nodiscard]] ReplyFields SplitReplyFields(std::string_view reply) noexcept;

// A NUL-terminated reply in a buffer of `buffer_size` bytes; reading stops at
// the first NUL or at the end of the buffer, whichever comes first. A null
// buffer has no fields.
[[nodiscard]] ReplyFields SplitReplyFields(const char* reply, std::size_t buffer_size) noexcept;

}  // namespace meterlink

#endif
