// The station's events: what happened at a bay, one JSON object each on
// stdout with --json (docs/station-events.md), one plain line each in a log.
#ifndef LX40_LX40_STATION_STATION_EVENTS_H
#define LX40_LX40_STATION_STATION_EVENTS_H

#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace lx40::station {

enum class EventKind { kArrived, kStarted, kProgress, kDone, kRemoved, kIgnored, kStopped };

const char* EventName(EventKind kind);

struct StationEvent {
  EventKind kind = EventKind::kArrived;
  std::string time;                   // UTC, ISO 8601 with milliseconds
  std::optional<std::string> bay;     // the bay's label; none without a bays file
  std::string port;                   // "" for kStopped
  std::optional<std::string> serial;  // once the meter has said it
  // The event's own fields, after the common ones: progress: table,
  // percent, state; done: result, record; ignored: reason; stopped: counts.
  nlohmann::ordered_json detail = nlohmann::ordered_json::object();
  // A progress beyond two a second for its bay: shown on the terminal,
  // left out of the event stream.
  bool throttled = false;
};

// The event as one JSON Lines line, with its line feed. Device text is
// escaped, as in the record.
std::string EventLine(const StationEvent& event);

// The event as one plain line for a log (no line feed).
std::string EventText(const StationEvent& event);

// At most one progress event per interval for one bay; every other event
// goes out at once.
class ProgressGate {
 public:
  explicit ProgressGate(std::chrono::milliseconds interval) : interval_(interval) {}
  // True when a progress event at `now` may go out (and then counts it).
  bool Pass(std::chrono::steady_clock::time_point now);

 private:
  std::chrono::milliseconds interval_;
  std::optional<std::chrono::steady_clock::time_point> last_;
};

// Two progress events a second per bay at most.
inline constexpr std::chrono::milliseconds kProgressInterval{500};

}  // namespace lx40::station

#endif
