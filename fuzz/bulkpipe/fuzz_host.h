// A usbhost implementation that answers every call from the fuzz input, in
// call order: whether an open succeeds, whether a request succeeds, the
// bytes it returns and what *returned claims, the interface path. Once the
// input is used up every call fails, so one input drives a bounded walk.
#ifndef LX40_FUZZ_BULKPIPE_FUZZ_HOST_H
#define LX40_FUZZ_BULKPIPE_FUZZ_HOST_H

#include <cstddef>
#include <cstdint>
#include <set>

#include "usbhost/usbhost.h"

namespace fuzzhost {

class Input {
 public:
  void Reset(const uint8_t* data, size_t size) {
    data_ = data;
    size_ = size;
    used_ = 0;
  }
  bool empty() const { return used_ >= size_; }
  // The next byte, or `fallback` once the input is used up.
  uint8_t Byte(uint8_t fallback = 0) { return empty() ? fallback : data_[used_++]; }
  uint16_t U16() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
  uint32_t U32() { return static_cast<uint32_t>(U16()) | (static_cast<uint32_t>(U16()) << 16); }

 private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t used_ = 0;
};

struct State {
  Input input;
  std::set<usbhost_handle> open_handles;
  usbhost_handle next_handle = 4;
  uint64_t calls = 0;
};

State& TheState();

}  // namespace fuzzhost

#endif
