// Fuzzes Bulkpipe's whole walk and its pipe open against a bus that answers
// every request from the input. Checks beyond the sanitizers: every handle
// opened is closed, the count stays within what USB can address, and the
// serial list has exactly the form the count promises.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "bulkpipe.h"
#include "fuzz_host.h"

namespace {

constexpr int32_t kMostMeters = 10 * 127;  // 10 controllers, 127 addresses each
constexpr size_t kListCapacity = kMostMeters * 10;

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto& state = fuzzhost::TheState();
  state.input.Reset(data, size);
  state.open_handles.clear();
  const uint8_t mode = state.input.Byte();

  if (mode & 1) {
    // Exactly the room the library can ever need, on the heap, so a byte
    // more is an overflow the address sanitizer reports.
    std::unique_ptr<char[]> list(new char[kListCapacity]);
    const int32_t count = CheckUSBDevices(list.get());
    Require(count >= 0 && count <= kMostMeters);
    const size_t length = std::strlen(list.get());
    Require(length == (count == 0 ? 0 : static_cast<size_t>(count) * 10 - 1));
    for (size_t i = 9; i < length; i += 10) Require(list[i] == ',');
  } else {
    const int32_t count = CheckUSBDevices(nullptr);
    Require(count >= 0 && count <= kMostMeters);
  }
  Require(state.open_handles.empty());

  if (mode & 2) {
    const auto pipe = static_cast<int32_t>(state.input.U32());
    const auto position = static_cast<int32_t>(state.input.U32());
    const usbhost_handle h = OpenUSBBulkFile(pipe, position);
    Require(state.open_handles.size() == (h == USBHOST_INVALID ? 0u : 1u));
    if (h != USBHOST_INVALID) usbhost_close(h);
  }
  return 0;
}
