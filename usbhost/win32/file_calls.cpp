// The file and device calls of the usbhost seam, each a direct call of the
// kernel32 function it names. Reads, writes and IOCTLs are bounded by an
// IoWatchdog so that a device that never completes one cannot hang the
// calling thread.
#include <windows.h>

#include <cstring>

#include "io_limits.h"
#include "io_watchdog.h"
#include "usbhost.h"

namespace {

using usbhost_win32::IoWatchdog;

HANDLE to_handle(usbhost_handle h) { return reinterpret_cast<HANDLE>(h); }

// USBHOST_INVALID is also the value of GetCurrentProcess(), and other small
// negative values are pseudo-handles that CloseHandle accepts; none of them
// is an open file, so none is passed on.
bool is_file_handle(usbhost_handle h) { return h > 0; }

// A meter's bulk pipe: "<interface path>\<pipe number>", the name's last
// part a decimal number (Bulkpipe writes it with "%d").
bool is_meter_pipe(const char* path) {
  const char* last = std::strrchr(path, '\\');
  if (last == nullptr || last == path) return false;
  const char* digits = last[1] == '-' ? last + 2 : last + 1;
  if (*digits == '\0') return false;
  for (const char* c = digits; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return false;
  }
  return true;
}

void report(uint32_t* out, DWORD value) {
  if (out != nullptr) {
    *out = value;
  }
}

}  // namespace

extern "C" {

usbhost_handle usbhost_open(const char* path, uint32_t access, uint32_t share) {
  if (path == nullptr) {
    return USBHOST_INVALID;
  }
  // A meter's pipe is opened with no sharing whatever the caller asks: while
  // it is open here, no other program (of any user) opens it and drives the
  // meter at the same time. The interface probe and the hubs keep the
  // caller's sharing.
  if (is_meter_pipe(path)) share = 0;
  HANDLE h = CreateFileA(path, access, share, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    return USBHOST_INVALID;
  }
  return reinterpret_cast<usbhost_handle>(h);
}

int usbhost_close(usbhost_handle h) {
  if (!is_file_handle(h)) {
    return 0;
  }
  return CloseHandle(to_handle(h)) ? 1 : 0;
}

int usbhost_write(usbhost_handle h, const void* data, uint32_t size, uint32_t* done) {
  report(done, 0);
  if (!is_file_handle(h)) {
    return 0;
  }
  IoWatchdog watchdog(usbhost_win32::kPipeWriteLimitMs);
  if (!watchdog.armed()) {
    return 0;  // an unbounded write could hang the caller
  }
  DWORD written = 0;
  BOOL ok = WriteFile(to_handle(h), data, size, &written, nullptr);
  DWORD error = GetLastError();
  watchdog.stop();
  report(done, written);
  SetLastError(error);
  return ok ? 1 : 0;
}

int usbhost_read(usbhost_handle h, void* data, uint32_t size, uint32_t* done) {
  report(done, 0);
  if (!is_file_handle(h)) {
    return 0;
  }
  IoWatchdog watchdog(usbhost_win32::kPipeReadLimitMs);
  if (!watchdog.armed()) {
    return 0;
  }
  DWORD got = 0;
  BOOL ok = ReadFile(to_handle(h), data, size, &got, nullptr);
  DWORD error = GetLastError();
  bool timed_out = watchdog.stop();
  report(done, got);
  if (!ok && timed_out && error == ERROR_OPERATION_ABORTED) {
    // The meter stayed silent for the whole limit: that is an idle pipe,
    // and an idle read is how the caller learns a reply is over.
    SetLastError(ERROR_SUCCESS);
    return 1;
  }
  SetLastError(error);
  return ok ? 1 : 0;
}

int usbhost_ioctl(usbhost_handle h, uint32_t code, void* in, uint32_t in_size, void* out,
                  uint32_t out_size, uint32_t* returned) {
  report(returned, 0);
  if (!is_file_handle(h)) {
    return 0;
  }
  IoWatchdog watchdog(usbhost_win32::kIoctlLimitMs);
  if (!watchdog.armed()) {
    return 0;
  }
  DWORD bytes = 0;
  BOOL ok = DeviceIoControl(to_handle(h), code, in, in_size, out, out_size, &bytes, nullptr);
  DWORD error = GetLastError();
  watchdog.stop();
  report(returned, bytes);
  SetLastError(error);
  return ok ? 1 : 0;
}

}  // extern "C"
