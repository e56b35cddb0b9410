// The fuzz input read front to back: every fuzz target turns it into what a
// device answers. Reads past the end give a fallback (0 or nothing), so a
// target never reads outside the input and every run ends once it is used up.
#ifndef LX40_FUZZ_SUPPORT_FUZZ_INPUT_H
#define LX40_FUZZ_SUPPORT_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace fuzzsupport {

class FuzzInput {
 public:
  FuzzInput() = default;
  FuzzInput(const uint8_t* data, size_t size) { Reset(data, size); }

  void Reset(const uint8_t* data, size_t size) {
    data_ = data;
    size_ = size;
    used_ = 0;
  }
  bool Empty() const { return used_ >= size_; }

  // The next byte, or `fallback` once the input is used up.
  uint8_t Byte(uint8_t fallback = 0) { return Empty() ? fallback : data_[used_++]; }
  uint16_t U16() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
  uint32_t U32() { return static_cast<uint32_t>(U16()) | (static_cast<uint32_t>(U16()) << 16); }

  // Up to n bytes into out; fewer at the end of the input.
  size_t Take(uint8_t* out, size_t n) {
    const size_t available = Available(n);
    if (available == 0) return 0;
    std::memcpy(out, data_ + used_, available);
    used_ += available;
    return available;
  }
  // Up to n bytes as text; fewer at the end of the input.
  std::string Text(size_t n) {
    const size_t available = Available(n);
    std::string text(reinterpret_cast<const char*>(data_ + used_), available);
    used_ += available;
    return text;
  }

 private:
  size_t Available(size_t n) const { return Empty() ? 0 : (size_ - used_ < n ? size_ - used_ : n); }

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t used_ = 0;
};

}  // namespace fuzzsupport

#endif
