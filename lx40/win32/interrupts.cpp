// Ctrl+C on Windows: the console's Ctrl+C and Ctrl+Break events.
#include <windows.h>

#include <atomic>

#include "platform.h"

namespace lx40::platform {

namespace {

// Set before the handler is installed; read on the console's handler
// thread.
std::atomic<void (*)()> g_on_interrupt{nullptr};

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
    if (void (*const on_interrupt)() = g_on_interrupt.load()) on_interrupt();
    return TRUE;  // handled: the process goes on and stops by itself
  }
  return FALSE;
}

}  // namespace

void WatchInterrupts(void (*on_interrupt)()) {
  g_on_interrupt.store(on_interrupt);
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

}  // namespace lx40::platform
