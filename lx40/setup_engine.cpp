#include "setup_engine.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "meter_messages.h"
#include "station_clock.h"
#include "string_ids.h"

namespace lx40 {

namespace {

// How often a settle looks whether it must stop at once.
constexpr std::chrono::milliseconds kSettleSlice{20};

std::string Now() { return UtcTimestamp(std::chrono::system_clock::now()); }

std::string TableName(const SensorTable& table) {
  return std::to_string(table.info.type_code) + " slot " + std::to_string(table.info.slot);
}

// One meter's setup. Runs on a worker thread; uses only its own handle.
class UnitSetup {
 public:
  UnitSetup(const SetupPlan& plan, size_t unit, const mlink_meter_info& info,
            SetupObserver& observer, const std::function<StopLevel()>& stop)
      : plan_(plan), unit_(unit), observer_(observer), stop_(stop) {
    record_.serial = info.serial;
    record_.model = info.model;
    record_.version = info.version;
    if (unit < plan.places.size()) record_.port = plan.places[unit].port;
    record_.station = plan.station;
    record_.trace = plan.trace;
    record_.tool = ToolText();
    for (const SensorTable& table : plan.tables) {
      record_.tables.push_back(TableRecord{table.info.type_code, table.info.slot,
                                           table.info.records, table.info.crc,
                                           TableOutcome::kNotRun, SourceName(table), table.sha256});
    }
  }

  void Run() {
    Arrive();
    if (stop_() != StopLevel::kNone) {
      End(UnitResult::kCancelled, MLINK_OK, EnglishText(ids::kBodyCancelled));
    } else {
      Progress("", -1, lx40_ids::kStepOpening, true);
      const int32_t opened = Open();
      if (opened != MLINK_OK) {
        Fail(opened);
      } else {
        Work();
        mlink_close(meter_);
        meter_ = nullptr;
      }
    }
    Finish();
  }

  // The same steps on a meter the caller opened and keeps open.
  void RunOn(mlink_meter* meter) {
    Arrive();
    if (stop_() != StopLevel::kNone) {
      End(UnitResult::kCancelled, MLINK_OK, EnglishText(ids::kBodyCancelled));
    } else {
      meter_ = meter;
      mlink_meter_place place{};
      if (mlink_get_place(meter_, &place) == MLINK_OK) record_.port = place.port;
      Work();
      meter_ = nullptr;
    }
    Finish();
  }

  const UnitRecord& Record() const { return record_; }
  bool MustReplug() const { return must_replug_; }

 private:
  // The meter's arrival: its start, and whether the record file has set
  // it before (asked once per unit, whatever follows).
  void Arrive() {
    record_.started = Now();
    record_.seen_before = plan_.seen_before && plan_.seen_before(record_.serial);
  }

  void Finish() {
    record_.finished = Now();
    observer_.OnUnitDone(unit_, record_, must_replug_);
  }

  int32_t Open() {
    if (unit_ < plan_.places.size()) {
      const mlink_meter_place& place = plan_.places[unit_];
      return mlink_open_path(place.path, place.generation, &meter_);
    }
    return mlink_open(record_.serial.c_str(), &meter_);
  }

  void Work() {
    Progress("", -1, lx40_ids::kStepCheckingBattery, true);
    int32_t battery_ok = 0;
    const int32_t battery = mlink_battery(meter_, &battery_ok);
    if (battery != MLINK_OK) return Fail(battery);
    record_.battery_ok = battery_ok != 0;
    if (battery_ok == 0) return Fail(MLINK_BATTERY_LOW);

    Progress("", -1, lx40_ids::kStepCheckingSlots, true);
    uint8_t slots[MLINK_SLOT_COUNT] = {};
    const int32_t tested = mlink_slots(meter_, slots, MLINK_SLOT_COUNT);
    if (tested != MLINK_OK) return Fail(tested);
    record_.slots_before = SlotDigits(slots, MLINK_SLOT_COUNT);

    for (size_t i = 0; i < plan_.tables.size(); ++i) {
      const SensorTable& table = plan_.tables[i];
      if (slots[table.info.slot] != 0) {
        record_.tables[i].outcome = TableOutcome::kPresent;
        Progress(TableName(table), -1, lx40_ids::kStepAlreadyPresent, true);
        continue;
      }
      if (stop_() != StopLevel::kNone) {
        // Between tables the meter is in order: what it holds now is still
        // worth knowing.
        Verify();
        return End(UnitResult::kCancelled, MLINK_OK, EnglishText(ids::kBodyCancelled));
      }
      if (!Load(table, &record_.tables[i])) return;
      if (!Settle(table)) return;
    }
    if (!Verify()) return;
    const bool wrote =
        std::any_of(record_.tables.begin(), record_.tables.end(),
                    [](const TableRecord& t) { return t.outcome == TableOutcome::kWritten; });
    if (wrote) {
      End(UnitResult::kSet, MLINK_OK, EnglishText(ids::kBodyComplete));
    } else {
      End(UnitResult::kAlreadySet, MLINK_OK, EnglishText(ids::kMessageAlreadyHasData));
    }
  }

  bool Load(const SensorTable& table, TableRecord* outcome) {
    const std::string name = TableName(table);
    Progress(name, 0, lx40_ids::kStepWriting, true);
    int32_t rc = mlink_load_begin(meter_, table.bytes.data(), table.bytes.size());
    int last_percent = 0;
    while (rc == MLINK_OK) {
      if (stop_() == StopLevel::kNow) {
        mlink_load_abort(meter_);
        ProbeAfterLoad();
        // Stopped before its first step the meter was sent nothing.
        outcome->outcome = must_replug_ ? TableOutcome::kFailed : TableOutcome::kNotRun;
        const int32_t code = must_replug_ ? MLINK_ERR_LOAD_ABANDONED : MLINK_OK;
        End(UnitResult::kCancelled, code,
            must_replug_ ? mlink_strerror(code) : EnglishText(ids::kBodyCancelled));
        return false;
      }
      rc = mlink_load_step(meter_);
      uint32_t done = 0;
      uint32_t total = 0;
      mlink_load_progress(meter_, &done, &total);
      const int percent = total == 0 ? 0 : static_cast<int>(uint64_t{done} * 100 / total);
      if (percent != last_percent) {
        last_percent = percent;
        Progress(name, percent, lx40_ids::kStepWriting, false);
      }
    }
    if (rc != MLINK_DONE) {
      outcome->outcome = TableOutcome::kFailed;
      Fail(rc);
      ProbeAfterLoad();
      return false;
    }
    outcome->outcome = TableOutcome::kWritten;
    return true;
  }

  // The pause the meter needs after storing a table. A stop at once ends
  // it early: the table is stored, but the meter is asked nothing more.
  bool Settle(const SensorTable& table) {
    const std::string name = TableName(table);
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + plan_.settle;
    Progress(name, 0, lx40_ids::kStepSettling, true);
    for (;;) {
      const auto now = std::chrono::steady_clock::now();
      if (now >= end) break;
      if (stop_() == StopLevel::kNow) {
        End(UnitResult::kCancelled, MLINK_OK, EnglishText(ids::kBodyCancelled));
        return false;
      }
      const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - start);
      Progress(name, static_cast<int>(elapsed * 100 / plan_.settle), lx40_ids::kStepSettling,
               false);
      std::this_thread::sleep_for(
          std::min<std::chrono::steady_clock::duration>(kSettleSlice, end - now));
    }
    Progress(name, 100, lx40_ids::kStepWritten, true);
    return true;
  }

  // After a load that did not end in MLINK_DONE: Meterlink knows whether
  // the meter was left mid-table (then it refuses every command and sends
  // nothing); otherwise "TEST" shows what the meter holds now.
  void ProbeAfterLoad() {
    uint8_t slots[MLINK_SLOT_COUNT] = {};
    const int32_t tested = mlink_slots(meter_, slots, MLINK_SLOT_COUNT);
    if (tested == MLINK_OK) record_.slots_after = SlotDigits(slots, MLINK_SLOT_COUNT);
    must_replug_ = tested == MLINK_ERR_LOAD_ABANDONED;
  }

  // "TEST" again: every table written must now show in its slot.
  bool Verify() {
    Progress("", -1, lx40_ids::kStepVerifying, true);
    uint8_t slots[MLINK_SLOT_COUNT] = {};
    const int32_t tested = mlink_slots(meter_, slots, MLINK_SLOT_COUNT);
    if (tested != MLINK_OK) {
      Fail(tested);
      return false;
    }
    record_.slots_after = SlotDigits(slots, MLINK_SLOT_COUNT);
    for (TableRecord& table : record_.tables) {
      if (table.outcome == TableOutcome::kWritten && slots[table.slot] == 0) {
        table.outcome = TableOutcome::kFailed;
        End(UnitResult::kFailed, MLINK_SENSOR_OR_MEMORY,
            "Not stored: table " + std::to_string(table.type) + " was loaded, but slot " +
                std::to_string(table.slot) + " is still empty.");
        return false;
      }
    }
    return true;
  }

  void Fail(int32_t code) { End(UnitResult::kFailed, code, MeterMessage(code)); }

  // Decides the unit's outcome; the first decision stands. The outcome is
  // shown only once its record is on disk (SetupObserver::OnUnitDone).
  void End(UnitResult result, int32_t code, std::string message) {
    if (ended_) return;
    ended_ = true;
    record_.result = result;
    record_.code = code;
    record_.message = std::move(message);
  }

  // `step`: the entry of lx40's string table the unit's line shows.
  void Progress(const std::string& table, int percent, uint32_t step, bool event) {
    observer_.OnProgress(unit_, table, percent, EnglishText(step), event);
  }

  const SetupPlan& plan_;
  const size_t unit_;
  SetupObserver& observer_;
  const std::function<StopLevel()>& stop_;
  UnitRecord record_;
  mlink_meter* meter_ = nullptr;
  bool ended_ = false;
  bool must_replug_ = false;
};

}  // namespace

std::vector<UnitRecord> RunSetup(const SetupPlan& plan, SetupObserver& observer,
                                 const std::function<StopLevel()>& stop) {
  const size_t count = plan.meters.size();
  std::vector<UnitRecord> records(count);
  const size_t workers = std::min(count, plan.jobs == 0 ? count : plan.jobs);
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t unit = next++; unit < count; unit = next++) {
      UnitSetup setup(plan, unit, plan.meters[unit], observer, stop);
      setup.Run();
      records[unit] = setup.Record();
    }
  };
  std::vector<std::thread> threads;
  threads.reserve(workers);
  for (size_t i = 0; i < workers; ++i) threads.emplace_back(work);
  for (std::thread& thread : threads) thread.join();
  return records;
}

UnitRecord SetupOpenMeter(const SetupPlan& plan, size_t unit, mlink_meter* meter,
                          const mlink_meter_info& info, SetupObserver& observer,
                          const std::function<StopLevel()>& stop, bool* must_replug) {
  UnitSetup setup(plan, unit, info, observer, stop);
  setup.RunOn(meter);
  if (must_replug != nullptr) *must_replug = setup.MustReplug();
  return setup.Record();
}

}  // namespace lx40
