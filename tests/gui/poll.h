// Bounded waiting: every wait of the driver polls a condition until it holds
// or its time is up, so a wizard that hangs fails a scenario instead of
// hanging the test run.
#ifndef LX40_TESTS_GUI_POLL_H
#define LX40_TESTS_GUI_POLL_H

#include <windows.h>

namespace gui {

// Long enough for Wine to start a process or for a whole run on two
// simulated meters (four tables, each with a 3 s pause).
inline constexpr DWORD kStartTimeoutMs = 30000;
inline constexpr DWORD kRunTimeoutMs = 120000;
inline constexpr DWORD kStepTimeoutMs = 10000;
inline constexpr DWORD kPollIntervalMs = 20;

// True as soon as `condition()` is true; false when `timeoutMs` passed
// without that.
template <class Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs, DWORD intervalMs = kPollIntervalMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(intervalMs);
  }
}

}  // namespace gui

#endif
