#include "interrupt.h"

#include <atomic>

#include "platform.h"

namespace lx40 {

namespace {

// Lock-free, so the signal handlers may touch them.
std::atomic<int> g_interrupts{0};
std::atomic<bool> g_end_requested{false};
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

void CountInterrupt() { g_interrupts.fetch_add(1); }
void RequestEnd() { g_end_requested.store(true); }

}  // namespace

void InstallInterruptHandler() { platform::WatchInterrupts(CountInterrupt, RequestEnd); }

int InterruptCount() { return g_interrupts.load(); }

bool EndRequested() { return g_end_requested.load(); }

void StoppedWorkIsOver(int exit_status) { platform::StoppedWorkIsOver(exit_status); }

}  // namespace lx40
