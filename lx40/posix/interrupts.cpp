// Ctrl+C and the requests to end on POSIX systems: SIGINT; SIGTERM and
// SIGHUP (a service manager, `timeout`, a closed terminal). SIGPIPE is
// ignored: a closed stdout makes writes fail, it does not end the run.
#include <signal.h>

#include <atomic>

#include "platform.h"

namespace lx40::platform {

namespace {

// Set before the handlers are installed; read in the handlers.
std::atomic<void (*)()> g_on_interrupt{nullptr};
std::atomic<void (*)()> g_on_end{nullptr};
static_assert(std::atomic<void (*)()>::is_always_lock_free);

void OnSignal(int signal_number) {
  void (*const handler)() = (signal_number == SIGINT ? g_on_interrupt : g_on_end).load();
  if (handler != nullptr) handler();
}

void Handle(int signal_number, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(signal_number, &action, nullptr);
}

}  // namespace

void WatchInterrupts(void (*on_interrupt)(), void (*on_end)()) {
  g_on_interrupt.store(on_interrupt);
  g_on_end.store(on_end);
  Handle(SIGPIPE, SIG_IGN);
  Handle(SIGINT, OnSignal);
  Handle(SIGTERM, OnSignal);
  Handle(SIGHUP, OnSignal);
}

// The process ends by itself once its work is over: nothing waits.
void StoppedWorkIsOver(int) {}

}  // namespace lx40::platform
