// Ctrl+C on POSIX systems: SIGINT.
#include <signal.h>

#include <atomic>

#include "platform.h"

namespace lx40::platform {

namespace {

// Set before the handler is installed; read in the handler.
std::atomic<void (*)()> g_on_interrupt{nullptr};
static_assert(std::atomic<void (*)()>::is_always_lock_free);

void OnSignal(int) {
  if (void (*const on_interrupt)() = g_on_interrupt.load()) on_interrupt();
}

}  // namespace

void WatchInterrupts(void (*on_interrupt)()) {
  g_on_interrupt.store(on_interrupt);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace lx40::platform
