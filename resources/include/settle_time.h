// The pause a meter needs after storing a table before it takes the next
// table or command.
#ifndef LX40_RESOURCES_SETTLE_TIME_H
#define LX40_RESOURCES_SETTLE_TIME_H

#include <chrono>
#include <string>

namespace lx40 {

inline constexpr std::chrono::milliseconds kMeterSettleTime{3000};

// kMeterSettleTime on real meters. A simulator build also accepts
// LX40_SETTLE_MS (0 to 600000) from the environment, for tests and
// benchmarks; a malformed value is refused with `error` set.
std::chrono::milliseconds SettleTime(std::string* error);

}  // namespace lx40

#endif
