#include "interrupt.h"

#include <atomic>

#include "platform.h"

namespace lx40 {

namespace {

// Lock-free, so the signal handler may touch it.
std::atomic<int> g_interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free);

void CountInterrupt() { g_interrupts.fetch_add(1); }

}  // namespace

void InstallInterruptHandler() { platform::WatchInterrupts(CountInterrupt); }

int InterruptCount() { return g_interrupts.load(); }

}  // namespace lx40
