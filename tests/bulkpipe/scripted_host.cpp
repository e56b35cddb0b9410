#include "scripted_host.h"

#include <algorithm>
#include <cstring>

namespace scripted {

Host& TheHost() {
  static Host host;
  return host;
}

void ResetHost() { TheHost() = Host(); }

}  // namespace scripted

using scripted::TheHost;

extern "C" usbhost_handle usbhost_open(const char* path, uint32_t, uint32_t) {
  auto& host = TheHost();
  if (path == nullptr) return USBHOST_INVALID;
  host.open_attempts.emplace_back(path);
  if (!host.opens || !host.opens(path)) return USBHOST_INVALID;
  const usbhost_handle h = host.next_handle;
  host.next_handle += 4;
  host.open_handles[h] = path;
  return h;
}

extern "C" int usbhost_close(usbhost_handle h) { return TheHost().open_handles.erase(h) ? 1 : 0; }

extern "C" int usbhost_write(usbhost_handle, const void*, uint32_t, uint32_t* done) {
  *done = 0;
  return 0;
}

extern "C" int usbhost_read(usbhost_handle, void*, uint32_t, uint32_t* done) {
  *done = 0;
  return 0;
}

extern "C" int usbhost_ioctl(usbhost_handle h, uint32_t code, void* in, uint32_t in_size, void* out,
                             uint32_t out_size, uint32_t* returned) {
  auto& host = TheHost();
  *returned = 0;
  const auto it = host.open_handles.find(h);
  if (it == host.open_handles.end() || !host.ioctl) return 0;
  scripted::IoctlCall call;
  call.path = it->second;
  call.code = code;
  const auto* in_bytes = static_cast<const uint8_t*>(in);
  if (in_bytes != nullptr) call.in.assign(in_bytes, in_bytes + in_size);
  call.out_size = out_size;
  const scripted::IoctlReply reply = host.ioctl(call);
  if (host.record_calls) host.calls.push_back(call);
  if (!reply.ok) return 0;
  const size_t copied = std::min<size_t>(reply.bytes.size(), out_size);
  if (copied != 0) std::memcpy(out, reply.bytes.data(), copied);
  *returned =
      reply.returned < 0 ? static_cast<uint32_t>(copied) : static_cast<uint32_t>(reply.returned);
  return 1;
}

extern "C" int usbhost_interface_path(const uint8_t[16], int32_t position, char* path,
                                      uint32_t size) {
  auto& host = TheHost();
  std::string found;
  if (!host.interface_path || !host.interface_path(position, &found)) return 0;
  if (found.size() + 1 > size) return 0;
  std::memcpy(path, found.c_str(), found.size() + 1);
  return 1;
}
