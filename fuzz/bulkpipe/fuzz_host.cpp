#include "fuzz_host.h"

#include <cstdlib>
#include <cstring>

namespace fuzzhost {

State& TheState() {
  static State state;
  return state;
}

namespace {

// Touches both ends of a buffer the caller says it has, so the address
// sanitizer catches a size that is larger than the buffer.
void Touch(const void* buffer, uint32_t size) {
  if (size == 0) return;
  const auto* bytes = static_cast<const volatile uint8_t*>(buffer);
  (void)bytes[0];
  (void)bytes[size - 1];
}

}  // namespace
}  // namespace fuzzhost

using fuzzhost::TheState;

extern "C" usbhost_handle usbhost_open(const char* path, uint32_t, uint32_t) {
  auto& s = TheState();
  ++s.calls;
  (void)std::strlen(path);  // must be a terminated text
  if ((s.input.Byte() & 1) == 0) return USBHOST_INVALID;
  const usbhost_handle h = s.next_handle;
  s.next_handle += 4;
  s.open_handles.insert(h);
  return h;
}

extern "C" int usbhost_close(usbhost_handle h) {
  auto& s = TheState();
  ++s.calls;
  if (s.open_handles.erase(h) == 0) std::abort();  // closing what is not open
  return 1;
}

extern "C" int usbhost_write(usbhost_handle, const void*, uint32_t, uint32_t* done) {
  *done = 0;
  return 0;
}

extern "C" int usbhost_read(usbhost_handle, void*, uint32_t, uint32_t* done) {
  *done = 0;
  return 0;
}

// Input: ok byte (odd: success), a 16-bit byte count, that many bytes (cut
// at out_size), then a byte that, from 0xF0 up, makes *returned the next
// 16-bit value instead of the bytes written.
extern "C" int usbhost_ioctl(usbhost_handle h, uint32_t, void* in, uint32_t in_size, void* out,
                             uint32_t out_size, uint32_t* returned) {
  auto& s = TheState();
  ++s.calls;
  if (s.open_handles.count(h) == 0) std::abort();  // a request on a closed handle
  fuzzhost::Touch(in, in_size);
  fuzzhost::Touch(out, out_size);
  *returned = 0;
  if ((s.input.Byte() & 1) == 0) return 0;
  const uint32_t count = s.input.U16();
  auto* bytes = static_cast<uint8_t*>(out);
  uint32_t written = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t b = s.input.Byte();
    if (i < out_size) bytes[written++] = b;
  }
  *returned = s.input.Byte() >= 0xF0 ? s.input.U16() : written;
  return 1;
}

// Input: ok byte, a byte count, that many path characters.
extern "C" int usbhost_interface_path(const uint8_t[16], int32_t, char* path, uint32_t size) {
  auto& s = TheState();
  ++s.calls;
  if ((s.input.Byte() & 1) == 0) return 0;
  const uint32_t length = s.input.U16();
  if (length + 1 > size) return 0;
  for (uint32_t i = 0; i < length; ++i) path[i] = static_cast<char>(s.input.Byte('p') | 1);
  path[length] = '\0';
  return 1;
}
