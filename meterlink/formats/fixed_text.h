// A short text held by value in a fixed array, always NUL-terminated: what
// the number formats hand back, so a caller copies a finished field into its
// own command buffer and never owns anything allocated.
#ifndef LX40_METERLINK_FORMATS_FIXED_TEXT_H
#define LX40_METERLINK_FORMATS_FIXED_TEXT_H

#include <array>
#include <cstddef>
#include <string_view>

namespace meterlink {

template <std::size_t Capacity>
class FixedText {
 public:
  static constexpr std::size_t kCapacity = Capacity;

  // Appends one character. Returns false and keeps the text when it is full.
  constexpr bool Append(char c) noexcept {
    if (size_ >= Capacity) return false;
    chars_[size_++] = c;
    chars_[size_] = '\0';
    return true;
  }

  constexpr const char* c_str() const noexcept { return chars_.data(); }
  constexpr std::string_view view() const noexcept { return {chars_.data(), size_}; }
  constexpr std::size_t size() const noexcept { return size_; }

 private:
  std::array<char, Capacity + 1> chars_{};
  std::size_t size_ = 0;
};

}  // namespace meterlink

#endif
