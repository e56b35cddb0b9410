// The bays of a station and what each shows: the state machine of one bay
// per port, and the counts since the start. Every change is told to the
// sink as a station event. Thread-safe: the watch loop and each bay's
// worker report here.
//
// A bay is "ready" while empty. A meter plugged in is an arrival; when a
// unit may start, the bay is "working" (table and percent), "settling"
// after each table, then "remove" (set or already set), "FAILED" with the
// wizard's words, or "re-plug" (left in the middle of a table). Whatever it
// shows, a meter is not started again while it stays plugged in: only a
// new plug generation at the port is a new arrival. When the meter is
// pulled out the bay is "ready" again. A port that is not a bay is
// "ignored" and never touched.
#ifndef LX40_LX40_STATION_BAY_BOARD_H
#define LX40_LX40_STATION_BAY_BOARD_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "bays_file.h"
#include "station_events.h"
#include "unit_record.h"

namespace lx40::station {

enum class BayState { kReady, kWorking, kSettling, kRemove, kFailed, kReplug, kIgnored };

const char* BayStateName(BayState state);

struct BayRow {
  std::optional<std::string> label;  // none: a bay named by its port
  std::string port;
  BayState state = BayState::kReady;
  std::string table;  // while working or settling
  int percent = -1;
  std::string serial;
  std::string reason;  // FAILED's words
  // The plug the bay holds now (none while empty).
  bool present = false;
  std::string path;
  uint32_t generation = 0;
  bool busy = false;   // a unit is being set up
  bool again = false;  // OpenLater: the next sight is no new arrival
  // A new plug came while the unit of the one before was not over yet (a
  // hung probe, say): it starts at the first sight once that unit is over.
  bool waiting = false;
  int missed = 0;  // listings in a row without the plug
};

// A plug is gone once this many listings in a row have missed it. One
// unit per bay at a time: a plug that comes while the bay's unit is not
// over waits for it (BayRow::waiting).
inline constexpr int kMissedListings = 2;

struct StationCounts {
  int set = 0;
  int already_set = 0;
  int failed = 0;  // failed or cancelled
  int started = 0;
};

// What the watch loop does with a place it sees.
enum class Arrival {
  kKnown,    // the plug the bay holds already: nothing to do
  kStart,    // a new meter: start its unit
  kHold,     // a new meter, but no unit starts any more (stopping, --max-units)
  kIgnored,  // a port that is not a bay
};

class BayBoard {
 public:
  // Called under the board's lock with the event and the bays as they are
  // after it: it must not call back into the board.
  using Sink = std::function<void(const StationEvent&, const std::vector<BayRow>& rows,
                                  const StationCounts& counts)>;
  using Clock = std::function<std::string()>;

  // `bays` empty: every port is a bay, named by its port. `max_units` 0:
  // no limit.
  BayBoard(std::vector<Bay> bays, size_t max_units, Sink sink, Clock clock);

  // A place listed at `port`. Returns what to do; *bay gets its row.
  Arrival Seen(const std::string& port, const std::string& path, uint32_t generation, size_t* bay);
  // The ports seen in this listing: every other plug is gone.
  void Listed(const std::vector<std::string>& ports, const std::vector<uint32_t>& generations);

  // The unit of `bay` has opened its meter.
  void Started(size_t bay, const std::string& serial);
  // `settling`: the pause after a table.
  void Progress(size_t bay, const std::string& table, int percent, const std::string& state,
                bool settling);
  // The unit is over: its record is written.
  void Done(size_t bay, const UnitRecord& record, bool must_replug);
  // The place held something that is not an LX40: left alone from now on.
  void NotAMeter(size_t bay, const std::string& reason);
  // The place could not be opened before anything was sent to it (gone
  // for a moment, or in use by another program): the next listing that
  // shows it starts it again, without a second "arrived".
  void OpenLater(size_t bay);

  // No unit starts from now on.
  void StopStarting();
  // True when no unit is being set up.
  bool Idle() const;
  // True when --max-units units have started and all of them are over.
  bool AllUnitsDone() const;

  std::vector<BayRow> Rows() const;
  // The bay's label (none without a bays file) and port, for its records.
  std::optional<std::string> LabelOf(size_t bay) const;
  StationCounts Counts() const;
  // The serial numbers of the meters left mid-table, for the re-plug list.
  std::vector<std::string> Replug() const;
  // The "stopped" event, with the counts.
  void Stopped();

 private:
  size_t RowOf(const std::string& port);  // adds a row in the no-bays mode
  void Emit(EventKind kind, const BayRow& row, nlohmann::ordered_json detail = {},
            bool throttled = false);
  void Removed(BayRow& row);
  Arrival Start(BayRow& row);  // a unit starts for the plug the row holds

  mutable std::mutex mutex_;
  const bool named_;
  const size_t max_units_;
  Sink sink_;
  Clock clock_;
  std::vector<BayRow> rows_;
  std::vector<ProgressGate> gates_;
  StationCounts counts_;
  std::vector<std::string> replug_;
  // Plugs in ports not a bay, already told as ignored.
  struct IgnoredPlug {
    std::string port;
    uint32_t generation = 0;
    int missed = 0;
  };
  std::vector<IgnoredPlug> ignored_;
  bool stopping_ = false;
};

}  // namespace lx40::station

#endif
