// The setup of many meters at once: for each meter the wizard's steps
// (battery, slot check, each table whose slot is empty, the settle after
// each table), then "TEST" once more to verify that every table written is
// stored. Each meter is set up by one worker thread through its own
// Meterlink handle; at most `jobs` meters are worked on at a time.
//
// Stopping: StopLevel::kAfterTable lets each meter finish the table it is
// writing (and its settle) and then stop, as the wizard's Cancel does;
// meters not started yet are not touched. StopLevel::kNow stops between two
// load steps: the meter was then sent part of a table, stores nothing, and
// must be plugged in again before its next use.
#ifndef LX40_LX40_SETUP_ENGINE_H
#define LX40_LX40_SETUP_ENGINE_H

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "mlink.h"
#include "table_source.h"
#include "traceability.h"
#include "unit_record.h"

namespace lx40 {

enum class StopLevel { kNone, kAfterTable, kNow };

struct SetupPlan {
  std::vector<mlink_meter_info> meters;
  // Where each meter of `meters` is, in the same order: each is then opened
  // where it was listed (two meters may answer with one serial number).
  // Empty: each is opened by its serial number.
  std::vector<mlink_meter_place> places;
  std::vector<SensorTable> tables;  // checked; in the order they are written
  size_t jobs = 0;                  // meters at a time; 0: all at once
  std::chrono::milliseconds settle{MLINK_SETTLE_MS};
  std::string station;
  // Asked at each meter's arrival: true when the record file already holds
  // a "set" line for the serial (the record then says "seen_before").
  // May be called from any worker thread. Empty: never asked.
  std::function<bool(const std::string& serial)> seen_before;
  Traceability trace;  // carried into every record
};

class SetupObserver {
 public:
  virtual ~SetupObserver() = default;
  // A meter's progress: the table being written ("" for none), the percent
  // of the current step (-1 for none) and a short state text. `event`
  // marks a change of step rather than progress within one.
  virtual void OnProgress(size_t unit, const std::string& table, int percent,
                          const std::string& state, bool event) = 0;
  // The unit is over (called on its worker thread, after its handle is
  // closed). `must_replug`: the meter was left in the middle of a table.
  virtual void OnUnitDone(size_t unit, const UnitRecord& record, bool must_replug) = 0;
};

// Sets up every meter of the plan and returns their records in plan order.
// `stop` is asked between steps; it may be called from any worker thread.
std::vector<UnitRecord> RunSetup(const SetupPlan& plan, SetupObserver& observer,
                                 const std::function<StopLevel()>& stop);

// One meter's setup with the very steps RunSetup takes for each meter, on a
// handle the caller has opened and keeps (it is not closed here): for a
// caller that finds its meters itself, such as the station. `unit` is the
// number the observer is told; the plan's meters and jobs are not used.
// *must_replug (when not null): the meter was left in the middle of a table.
UnitRecord SetupOpenMeter(const SetupPlan& plan, size_t unit, mlink_meter* meter,
                          const mlink_meter_info& info, SetupObserver& observer,
                          const std::function<StopLevel()>& stop, bool* must_replug);

}  // namespace lx40

#endif
