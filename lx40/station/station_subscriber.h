// Another view of a running station beside the terminal (the station page):
// told of the board before the first event, then of every event, as the
// terminal is.
#ifndef LX40_LX40_STATION_STATION_SUBSCRIBER_H
#define LX40_LX40_STATION_STATION_SUBSCRIBER_H

#include "bay_board.h"
#include "station_events.h"
#include "station_watch.h"

namespace lx40::station {

class StationSubscriber {
 public:
  virtual ~StationSubscriber() = default;
  // Before any meter is looked at: the board to read the bays from, and
  // the checked plan (the station's name, the traceability).
  virtual void Attach(const BayBoard& board, const StationPlan& plan) = 0;
  // Called under the board's lock, from the meters' threads: copies what
  // it needs and returns at once, never waits.
  virtual void OnEvent(const StationEvent& event) = 0;
  // After the "stopped" event, before the board goes.
  virtual void Detach() = 0;
};

}  // namespace lx40::station

#endif
