// Time limits for the blocking calls of the Windows usbhost layer.
//
// Every read, write and hub request is a synchronous call on the caller's
// thread. A device that never completes one would hang that thread for ever
// and, during discovery or a sensor data load, the whole program with it. A
// watchdog (io_watchdog.h) cancels a call that outlives its limit.
#ifndef LX40_USBHOST_WIN32_IO_LIMITS_H
#define LX40_USBHOST_WIN32_IO_LIMITS_H

#include <windows.h>

namespace usbhost_win32 {

// Hub driver requests answer from the hub's cached state or after one short
// control transfer, well within a second. A request still pending after 5 s
// belongs to a hub that has stopped answering; it fails, so discovery drops
// that unit and goes on.
inline constexpr DWORD kIoctlLimitMs = 5000;

// The meter answers a command within a few hundred milliseconds, and a reply
// ends with a read that completes with zero bytes once the meter is idle. A
// read still pending after 2 s means a silent meter: it ends as that idle read
// (success, 0 bytes), which is how the caller learns the reply is over.
inline constexpr DWORD kPipeReadLimitMs = 2000;

// A write of at most a command frame (about 100 bytes) is taken by the
// driver at once. One still pending after 2 s means the meter no longer
// drains its command pipe; the write fails.
inline constexpr DWORD kPipeWriteLimitMs = 2000;

// When the watchdog fires in the short moment before the call has entered
// the kernel (or between two of its phases) there is nothing to cancel yet;
// it tries again after this pause until the call ends.
inline constexpr DWORD kCancelRetryMs = 50;

}  // namespace usbhost_win32

#endif
