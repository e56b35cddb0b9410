// Bounds one synchronous I/O call on the calling thread.
//
// Armed right before the call, a thread-pool timer fires when the limit has
// passed and cancels the calling thread's pending synchronous I/O with
// CancelSynchronousIo; the call then returns FALSE with
// ERROR_OPERATION_ABORTED. stop() must run right after the call returns: it
// disarms the timer and waits for a callback already running, so no late
// cancel can ever reach a later call of the same thread.
#ifndef LX40_USBHOST_WIN32_IO_WATCHDOG_H
#define LX40_USBHOST_WIN32_IO_WATCHDOG_H

#include <windows.h>

#include <atomic>

namespace usbhost_win32 {

class IoWatchdog {
 public:
  // Arms the watchdog for the calling thread. When that fails (no handle
  // or timer could be had) armed() is false and nothing was started.
  explicit IoWatchdog(DWORD limit_ms) noexcept;
  ~IoWatchdog();

  IoWatchdog(const IoWatchdog&) = delete;
  IoWatchdog& operator=(const IoWatchdog&) = delete;

  bool armed() const noexcept { return timer_ != nullptr; }

  // Disarms and waits until no callback runs. True when the watchdog
  // cancelled I/O of the calling thread. Safe to call more than once.
  bool stop() noexcept;

 private:
  static void CALLBACK on_expired(PTP_CALLBACK_INSTANCE instance, PVOID context, PTP_TIMER timer);
  void release() noexcept;

  HANDLE thread_ = nullptr;  // a real handle of the calling thread
  PTP_TIMER timer_ = nullptr;
  std::atomic<bool> finished_{false};
  std::atomic<bool> cancelled_{false};
};

}  // namespace usbhost_win32

#endif
