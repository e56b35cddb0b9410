// OpenUSBBulkFile: opens "<interface path>\<pipe>" of the meter interface at
// a device position, after making sure the interface itself can be opened.
#include <cstdio>
#include <cstring>

#include "bulkpipe.h"
#include "meter_identity.h"

namespace bulkpipe {
namespace {

constexpr uint32_t kReadWrite = USBHOST_GENERIC_READ | USBHOST_GENERIC_WRITE;
constexpr uint32_t kShareReadWrite = USBHOST_FILE_SHARE_READ | USBHOST_FILE_SHARE_WRITE;

// Room for the interface path as the lookup reports it. A longer path fails
// the lookup; one that fits here but not in a pipe path with its suffix
// fails after the probe.
constexpr uint32_t kDevicePathCapacity = 1024;
// Room for a pipe path, "<interface path>\<pipe>" and its NUL.
constexpr size_t kPipePathCapacity = 256;

// Everything a call works on is its own: calls may run at the same time.
usbhost_handle OpenBulkPipe(int32_t pipe, int32_t position) {
  char device_path[kDevicePathCapacity] = {};
  if (!usbhost_interface_path(kMeterInterfaceGuid, position, device_path, sizeof device_path)) {
    return USBHOST_INVALID;
  }
  device_path[sizeof device_path - 1] = '\0';  // whatever the lookup left there
  const size_t path_length = std::strlen(device_path);
  const bool path_fits = path_length < kPipePathCapacity;
  char pipe_path[kPipePathCapacity] = {};
  if (path_fits) std::memcpy(pipe_path, device_path, path_length + 1);

  const usbhost_handle probe = usbhost_open(device_path, kReadWrite, kShareReadWrite);
  if (probe == USBHOST_INVALID) return USBHOST_INVALID;
  usbhost_close(probe);

  // "\" and the pipe number in decimal; a negative number keeps its sign.
  char suffix[16];
  const int suffix_length = std::snprintf(suffix, sizeof suffix, "\\%d", static_cast<int>(pipe));
  if (!path_fits || suffix_length <= 0 ||
      path_length + static_cast<size_t>(suffix_length) >= sizeof pipe_path) {
    return USBHOST_INVALID;
  }
  std::memcpy(pipe_path + path_length, suffix, static_cast<size_t>(suffix_length) + 1);
  return usbhost_open(pipe_path, kReadWrite, kShareReadWrite);
}

}  // namespace
}  // namespace bulkpipe

extern "C" BULKPIPE_API usbhost_handle OpenUSBBulkFile(int32_t pipe, int32_t position) {
  return bulkpipe::OpenBulkPipe(pipe, position);
}
