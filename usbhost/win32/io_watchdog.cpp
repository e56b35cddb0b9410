#include "io_watchdog.h"

#include "io_limits.h"

namespace usbhost_win32 {
namespace {

// A relative due time for SetThreadpoolTimer: negative, in 100 ns units.
FILETIME relative_due_time(DWORD ms) noexcept {
  ULARGE_INTEGER due;
  due.QuadPart = static_cast<ULONGLONG>(-static_cast<LONGLONG>(ms) * 10000);
  FILETIME ft;
  ft.dwLowDateTime = due.LowPart;
  ft.dwHighDateTime = due.HighPart;
  return ft;
}

void disarm_and_wait(PTP_TIMER timer) noexcept {
  SetThreadpoolTimer(timer, nullptr, 0, 0);
  WaitForThreadpoolTimerCallbacks(timer, TRUE);
}

}  // namespace

IoWatchdog::IoWatchdog(DWORD limit_ms) noexcept {
  // GetCurrentThread() is a pseudo-handle that means "the caller" in
  // whichever thread uses it; the timer callback runs on a pool thread and
  // needs a real handle of this one.
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &thread_, 0,
                       FALSE, DUPLICATE_SAME_ACCESS)) {
    thread_ = nullptr;
    return;
  }
  timer_ = CreateThreadpoolTimer(&IoWatchdog::on_expired, this, nullptr);
  if (timer_ == nullptr) {
    CloseHandle(thread_);
    thread_ = nullptr;
    return;
  }
  FILETIME due = relative_due_time(limit_ms);
  SetThreadpoolTimer(timer_, &due, 0, 0);
}

IoWatchdog::~IoWatchdog() { stop(); }

bool IoWatchdog::stop() noexcept {
  if (timer_ != nullptr) {
    finished_.store(true);
    // A callback that was already past its finished_ check may re-arm the
    // timer; the second round removes that, and any later callback sees
    // finished_ and returns at once.
    disarm_and_wait(timer_);
    disarm_and_wait(timer_);
    release();
  }
  return cancelled_.load();
}

void IoWatchdog::release() noexcept {
  CloseThreadpoolTimer(timer_);
  timer_ = nullptr;
  CloseHandle(thread_);
  thread_ = nullptr;
}

void CALLBACK IoWatchdog::on_expired(PTP_CALLBACK_INSTANCE, PVOID context, PTP_TIMER timer) {
  auto* self = static_cast<IoWatchdog*>(context);
  if (self->finished_.load()) {
    return;
  }
  if (CancelSynchronousIo(self->thread_)) {
    self->cancelled_.store(true);
    return;
  }
  // Nothing pending right now: the call has not reached the kernel yet, or
  // is between two phases. Look again shortly, until stop() is called.
  FILETIME due = relative_due_time(kCancelRetryMs);
  SetThreadpoolTimer(timer, &due, 0, 0);
}

}  // namespace usbhost_win32
