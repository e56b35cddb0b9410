#include "interrupt.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#endif

namespace lx40 {

namespace {

// Lock-free, so the signal handler may touch it.
std::atomic<int> g_interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free);

#ifdef _WIN32
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
    g_interrupts.fetch_add(1);
    return TRUE;  // handled: the process goes on and stops by itself
  }
  return FALSE;
}
#else
void OnInterrupt(int) { g_interrupts.fetch_add(1); }
#endif

}  // namespace

void InstallInterruptHandler() {
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
#endif
}

int InterruptCount() { return g_interrupts.load(); }

}  // namespace lx40
