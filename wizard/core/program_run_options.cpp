#include <charconv>
#include <cstdlib>
#include <string_view>

#include "setup_run.h"

SetupRunOptions ProgramRunOptions() {
  SetupRunOptions options;
#ifdef LX40_SIMULATED_METERS
  constexpr long kMaxSettleMs = 600000;
  const char* text = std::getenv("LX40_SETTLE_MS");
  if (text == nullptr || *text == '\0') return options;
  const std::string_view view(text);
  long ms = -1;
  const auto [end, ec] = std::from_chars(view.data(), view.data() + view.size(), ms);
  if (ec != std::errc() || end != view.data() + view.size() || ms < 0 || ms > kMaxSettleMs) {
    return options;
  }
  // Spread over the same steps, so the progress bar moves as usual.
  options.settleStep = std::chrono::microseconds(ms * 1000 / kSettleSteps);
#endif
  return options;
}
