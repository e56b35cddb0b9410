#include "settle_time.h"

#include <charconv>
#include <cstdlib>
#include <string_view>

#include "mlink.h"

std::chrono::milliseconds SettleTime(std::string* error) {
  constexpr std::chrono::milliseconds kSettle{MLINK_SETTLE_MS};
  error->clear();
#ifdef LX40_SIMULATED_METERS
  constexpr long kMaxSettleMs = 600000;
  const char* text = std::getenv("LX40_SETTLE_MS");
  if (text != nullptr && *text != '\0') {
    const std::string_view view(text);
    long value = -1;
    const auto [end, ec] = std::from_chars(view.data(), view.data() + view.size(), value);
    if (ec != std::errc() || end != view.data() + view.size() || value < 0 ||
        value > kMaxSettleMs) {
      *error = "LX40_SETTLE_MS must be a number of milliseconds from 0 to 600000, not '" +
               std::string(view) + "'";
      return kSettle;
    }
    return std::chrono::milliseconds(value);
  }
#endif
  return kSettle;
}
