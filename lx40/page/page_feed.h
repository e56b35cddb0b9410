// What the station page shows, fed by the station's board: every event
// numbered in order (its SSE id), the last events kept for a browser that
// reconnects, the last units, and a snapshot of the bays for /api/state
// that says the number of the last event it includes.
//
// The board calls Publish under its own lock, from the meters' threads:
// Publish only copies under a short lock of its own and never waits for
// the server. The server reads on its own thread.
#ifndef LX40_LX40_PAGE_PAGE_FEED_H
#define LX40_LX40_PAGE_PAGE_FEED_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "bay_board.h"
#include "station_events.h"
#include "traceability.h"

namespace lx40::page {

// Events kept for a reconnecting browser (its Last-Event-ID); one that has
// missed more reads the state anew, as every page does on connecting.
inline constexpr size_t kKeptEvents = 1024;
// Units listed below the tiles.
inline constexpr size_t kLastUnits = 20;

struct NumberedEvent {
  uint64_t id = 0;
  std::string json;  // the event object, as `station --json` writes it (no line feed)
  // The event-stream message ("id: N", "data: JSON"), made once and shared
  // by every stream that sends it.
  std::shared_ptr<const std::string> message;
};

class PageFeed {
 public:
  // The bays and counts as the board holds them now (BayBoard::Rows and
  // Counts); called on the server's thread, never under the feed's lock.
  using BoardReader =
      std::function<void(std::vector<station::BayRow>* rows, station::StationCounts* counts)>;

  // The station's name and the traceability of its run, for the header.
  void SetIdentity(std::string station, Traceability trace);
  void SetBoardReader(BoardReader reader);
  // Called once an event is numbered (on the publishing thread, after the
  // feed's lock is released): the server wakes its own thread.
  void SetNotify(std::function<void()> notify);

  // The board's sink: numbers the event and keeps it.
  void Publish(const station::StationEvent& event);

  // The number of the last event published (0: none yet).
  uint64_t LastId() const;
  // The kept events after `after`, up to `until`, oldest first, at most
  // `most` of them.
  std::vector<NumberedEvent> EventsAfter(uint64_t after, uint64_t until,
                                         size_t most = kKeptEvents) const;
  // The number of the oldest event kept (LastId() + 1 while none is).
  uint64_t OldestId() const;
  // /api/state: the station, the bays, the counts, the last units and the
  // number of the last event all of them include.
  std::string StateJson() const;

 private:
  struct Unit {
    uint64_t id;
    std::string json;
  };

  std::string station_;
  Traceability trace_;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  BoardReader reader_;
  std::function<void()> notify_;

  mutable std::mutex mutex_;
  uint64_t last_id_ = 0;
  std::deque<NumberedEvent> events_;
  std::deque<Unit> units_;
};

}  // namespace lx40::page

#endif
