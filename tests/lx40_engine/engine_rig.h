// lx40's setup engine run in-process against virtual meters on the
// simulated bus: the meters are listed through Meterlink's handle API as
// lx40 lists them, every built-in table is written, the settle is 0, and
// each unit's record line is kept.
#ifndef LX40_TESTS_LX40_ENGINE_ENGINE_RIG_H
#define LX40_TESTS_LX40_ENGINE_ENGINE_RIG_H

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "bus/sim_bus.h"
#include "meter/meter_attach.h"
#include "meter_list.h"
#include "setup_engine.h"
#include "table_source.h"
#include "unit_record.h"

namespace engine_rig {

// Collects what the engine reports at the end of each unit.
class RecordingObserver final : public lx40::SetupObserver {
 public:
  void OnProgress(size_t, const std::string&, int, const std::string&, bool) override {}
  void OnUnitDone(size_t, const lx40::UnitRecord& record, bool must_replug) override {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(lx40::RecordLine(record));
    if (must_replug) replug_.push_back(record.serial);
  }
  std::vector<std::string> Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }
  std::vector<std::string> Replug() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return replug_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  std::vector<std::string> replug_;
};

// The built-in tables, checked, as lx40 setup writes them.
inline const std::vector<lx40::SensorTable>& Tables() {
  static const std::vector<lx40::SensorTable> tables = [] {
    std::vector<lx40::SensorTable> checked = lx40::BuiltInSensorTables();
    for (lx40::SensorTable& table : checked) lx40::CheckTable(&table);
    return checked;
  }();
  return tables;
}

struct EngineRun {
  int32_t listed = 0;  // mlink_enumerate's result
  std::vector<lx40::UnitRecord> records;
  std::vector<std::string> lines;
  std::vector<std::string> replug;
};

// Lists the meters and sets them all up, as "lx40 setup" does.
inline EngineRun RunEngine() {
  EngineRun run;
  lx40::SetupPlan plan;
  plan.tables = Tables();
  plan.settle = std::chrono::milliseconds(0);
  plan.station = "test";
  run.listed = lx40::ListMeters(&plan.meters);
  if (run.listed != MLINK_OK || plan.meters.empty()) return run;
  RecordingObserver observer;
  run.records = lx40::RunSetup(plan, observer, [] { return lx40::StopLevel::kNone; });
  run.lines = observer.Lines();
  run.replug = observer.Replug();
  return run;
}

}  // namespace engine_rig

#endif
