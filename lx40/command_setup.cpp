// lx40 setup checks its inputs (tables, settle time, record file) before
// any meter is touched, then sets up the meters at once and keeps the
// record of each.
#include "command_setup.h"

#include <CLI/CLI.hpp>
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "device_text.h"
#include "exit_status.h"
#include "interrupt.h"
#include "meter_list.h"
#include "meter_messages.h"
#include "progress_display.h"
#include "record_file.h"
#include "seen_before_check.h"
#include "settle_time.h"
#include "setup_engine.h"
#include "station_clock.h"
#include "string_ids.h"
#include "table_source.h"

namespace lx40 {

bool GatherTables(const std::vector<std::string>& table_files, std::vector<SensorTable>* tables) {
  if (table_files.empty()) {
    *tables = BuiltInSensorTables();
    for (SensorTable& table : *tables) {
      const int32_t rc = CheckTable(&table);
      if (rc != MLINK_OK) {
        std::fprintf(stderr, "lx40: a built-in table is damaged: %s\n", mlink_strerror(rc));
        return false;
      }
    }
    return !tables->empty();
  }
  std::set<uint16_t> slots;
  for (const std::string& path : table_files) {
    SensorTable table;
    std::string error;
    if (!ReadTableFile(path, &table, &error)) {
      std::fprintf(stderr, "lx40: %s: %s\n", path.c_str(), error.c_str());
      return false;
    }
    const int32_t rc = CheckTable(&table);
    if (rc != MLINK_OK) {
      std::fprintf(stderr, "lx40: %s: not a valid sensor data table: %s\n", path.c_str(),
                   mlink_strerror(rc));
      return false;
    }
    if (!slots.insert(table.info.slot).second) {
      std::fprintf(stderr, "lx40: %s: another table given fills slot %u as well\n", path.c_str(),
                   static_cast<unsigned>(table.info.slot));
      return false;
    }
    tables->push_back(std::move(table));
  }
  return true;
}

namespace {

std::string FinalState(const UnitRecord& record) {
  std::string written;
  for (const TableRecord& table : record.tables) {
    if (table.outcome != TableOutcome::kWritten) continue;
    written += (written.empty() ? "" : ", ") + std::to_string(table.type);
  }
  switch (record.result) {
    case UnitResult::kSet:
      return EnglishText(lx40_ids::kResultSet) + " (" + written + " " +
             EnglishText(lx40_ids::kStepWritten) + ")";
    case UnitResult::kAlreadySet:
      return EnglishText(lx40_ids::kResultAlreadySet);
    case UnitResult::kFailed:
      return EnglishText(lx40_ids::kResultFailed);
    case UnitResult::kCancelled:
      return EnglishText(lx40_ids::kResultCancelled);
  }
  return "";
}

class SetupReport final : public SetupObserver {
 public:
  SetupReport(ProgressDisplay& display, RecordFile* record_file, bool json, size_t units)
      : display_(display), record_file_(record_file), json_(json), record_failed_(units) {}

  void OnProgress(size_t unit, const std::string& table, int percent, const std::string& state,
                  bool event) override {
    display_.Update(unit, table, percent, state, event);
  }

  void OnUnitDone(size_t unit, const UnitRecord& record, bool must_replug) override {
    const std::string line = RecordLine(record);
    const std::string shown_serial = devtext::Escaped(record.serial);
    // On disk first: the unit counts as done only once its record is.
    bool recorded = true;
    if (record_file_ != nullptr) {
      std::string error;
      if (!record_file_->Append(line, &error)) {
        recorded = false;
        record_failed_[unit] = true;
        display_.Message(stderr, shown_serial + ": the record could not be written to " +
                                     record_file_->Path() + ": " + error);
      }
    }
    if (json_) {
      std::lock_guard lock(stdout_mutex_);
      // A stdout that failed once (a closed pipe) is not written again; the
      // records still go to the record file.
      if (!stdout_failed_) {
        const bool wrote = std::fwrite(line.data(), 1, line.size(), stdout) == line.size();
        if (!wrote || std::fflush(stdout) != 0 || std::ferror(stdout) != 0) stdout_failed_ = true;
      }
    }
    display_.Update(
        unit, "", -1,
        recorded ? FinalState(record)
                 : EnglishText(lx40_ids::kResultFailed) + " (the record could not be written)",
        true);
    if (record.result == UnitResult::kFailed || record.result == UnitResult::kCancelled) {
      display_.Message(stderr, shown_serial + ": " + record.message);
    }
    if (must_replug) {
      std::lock_guard lock(replug_mutex_);
      replug_.push_back(record.port.empty() ? record.serial
                                            : record.serial + " (port " + record.port + ")");
    }
  }

  // The unit's record line could not be written: the unit failed,
  // whatever the meter did.
  bool RecordFailed(size_t unit) const { return record_failed_[unit]; }
  bool AnyRecordFailed() const {
    for (const auto& failed : record_failed_) {
      if (failed) return true;
    }
    return false;
  }
  bool StdoutFailed() {
    std::lock_guard lock(stdout_mutex_);
    return stdout_failed_;
  }
  std::vector<std::string> Replug() const {
    std::lock_guard lock(replug_mutex_);
    return replug_;
  }

 private:
  ProgressDisplay& display_;
  RecordFile* record_file_;
  const bool json_;
  std::mutex stdout_mutex_;
  bool stdout_failed_ = false;
  // One flag per unit, each set by that unit's worker only.
  std::vector<std::atomic<bool>> record_failed_;
  mutable std::mutex replug_mutex_;
  std::vector<std::string> replug_;
};

// Ctrl+C as the engine sees it, telling the operator once per level what
// happens now.
class InterruptStop {
 public:
  explicit InterruptStop(ProgressDisplay& display) : display_(display) {}

  StopLevel operator()() {
    const int count = InterruptCount();
    // Asked to end (SIGTERM, SIGHUP, the console closed, logoff, shutdown):
    // the system leaves little time, so at once, as a second Ctrl+C.
    const bool end = EndRequested();
    const StopLevel level = end || count >= 2 ? StopLevel::kNow
                            : count == 1      ? StopLevel::kAfterTable
                                              : StopLevel::kNone;
    // Raise the level shown, never lower it, and tell each level once.
    const int wanted = static_cast<int>(level);
    int shown = shown_.load();
    while (wanted > shown && !shown_.compare_exchange_weak(shown, wanted)) {
    }
    if (wanted > shown) {
      display_.Message(stderr,
                       level == StopLevel::kAfterTable
                           ? "lx40: cancelling: each meter finishes the table it is writing, then "
                             "stops (Ctrl+C again stops at once)"
                       : end ? "lx40: asked to end: stopping at once; a meter stopped mid-table "
                               "stores nothing and must be plugged in again"
                             : "lx40: stopping at once: a meter stopped mid-table stores nothing "
                               "and must be plugged in again");
    }
    return level;
  }

 private:
  ProgressDisplay& display_;
  std::atomic<int> shown_{0};
};

}  // namespace

void AddSetupOptions(CLI::App& app, SetupOptions& options) {
  app.add_option("SERIAL", options.serials, "Only these meters (whole serial numbers)");
  app.add_option("--table", options.table_files,
                 "A table file to write instead of the built-in tables (repeatable)");
  app.add_option("--jobs", options.jobs, "Meters worked on at a time (default: all)")
      ->check(CLI::Range(1, 1024));
  app.add_option("--record", options.record_file,
                 "Append one JSON line per meter to this file. A meter the file already holds a "
                 "\"set\" line for is warned about at its arrival and its line ends in "
                 "\"seen_before\": true (the file is read once at the start, then what other runs "
                 "append; memory grows with the distinct serial numbers set)");
  app.add_flag("--json", options.json,
               "Print each meter's record line on stdout; progress goes to stderr");
  AddTraceabilityOptions(app, options.trace);
}

int RunSetupCommand(const SetupOptions& options) {
  std::FILE* human = options.json ? stderr : stdout;
  // From the start: a request to end before the meters are touched leaves
  // every unit cancelled and recorded, a closed stdout ends nothing.
  InstallInterruptHandler();

  SetupPlan plan;
  std::string error = CheckTraceability(options.trace, &plan.trace);
  if (!error.empty()) {
    std::fprintf(stderr, "lx40: %s\n", error.c_str());
    return kExitBadInput;
  }
  if (!GatherTables(options.table_files, &plan.tables)) return kExitBadInput;
  plan.settle = SettleTime(&error);
  if (!error.empty()) {
    std::fprintf(stderr, "lx40: %s\n", error.c_str());
    return kExitBadInput;
  }
  std::unique_ptr<RecordFile> record_file;
  if (!RecordFile::OpenForCommand(options.record_file, &record_file)) return kExitBadInput;
  std::unique_ptr<records::SeenBeforeIndex> seen;
  if (!OpenSeenBeforeIndex(options.record_file, &seen)) return kExitBadInput;

  std::vector<mlink_meter_place> attached;
  const int32_t listed = ListPlaces(&attached);
  if (listed != MLINK_OK) {
    std::fprintf(stderr, "lx40: the meters cannot be listed: %s\n", MeterMessage(listed).c_str());
    return kExitNoMeter;
  }
  std::vector<std::string> missing;
  plan.places = SelectPlaces(attached, options.serials, &missing);
  for (const mlink_meter_place& place : plan.places) plan.meters.push_back(place.info);
  for (const std::string& serial : missing) {
    std::fprintf(stderr, "%s: %s\n", serial.c_str(), mlink_strerror(MLINK_ERR_NO_SUCH_METER));
  }
  if (!missing.empty()) return kExitNoMeter;
  if (plan.meters.empty()) {
    std::fprintf(stderr, "lx40: no meter found\n");
    return kExitNoMeter;
  }
  plan.jobs = options.jobs;
  plan.station = StationName();
  // Each is set up and recorded with its port; the record tells them apart.
  for (const std::string& warning : SharedSerialWarnings(plan.places)) {
    std::fprintf(stderr, "lx40: warning: %s: each is set up and recorded with its port\n",
                 warning.c_str());
  }

  std::vector<std::string> serials;
  for (const mlink_meter_info& info : plan.meters) serials.push_back(info.serial);
  ProgressDisplay display(human, ProgressDisplay::StyleFor(human), serials);
  SetupReport report(display, record_file.get(), options.json, plan.meters.size());
  InterruptStop stop(display);
  plan.seen_before =
      SeenBeforeWarning(seen.get(), options.record_file,
                        [&display](const std::string& line) { display.Message(stderr, line); });
  const std::vector<UnitRecord> records = RunSetup(plan, report, [&stop] { return stop(); });
  display.Finish();

  int set = 0, already = 0, failed = 0, cancelled = 0;
  for (size_t unit = 0; unit < records.size(); ++unit) {
    const UnitResult result = records[unit].result;
    if (report.RecordFailed(unit)) {
      ++failed;  // not done: its record is not written
      continue;
    }
    set += result == UnitResult::kSet;
    already += result == UnitResult::kAlreadySet;
    failed += result == UnitResult::kFailed;
    cancelled += result == UnitResult::kCancelled;
  }
  const bool summary_shown = display.Print(
      "lx40: " + std::to_string(records.size()) + " meter(s): " + std::to_string(set) + " set, " +
      std::to_string(already) + " already set, " + std::to_string(failed) + " failed, " +
      std::to_string(cancelled) + " cancelled");
  const std::vector<std::string> replug = report.Replug();
  if (!replug.empty()) {
    std::string names;
    for (const std::string& serial : replug) {
      names += (names.empty() ? "" : ", ") + devtext::ForDisplay(serial);
    }
    std::fprintf(stderr,
                 "lx40: unplug these meters and plug them in again before their next use: %s\n",
                 names.c_str());
  }
  const bool output_failed = !summary_shown || display.OutputFailed() || report.StdoutFailed();
  if (output_failed) {
    std::fprintf(stderr,
                 "lx40: the output could not be written (a closed pipe or console); the "
                 "meters' work went on\n");
  }
  std::fflush(stderr);
  const int status = failed + cancelled > 0 || report.AnyRecordFailed() || output_failed
                         ? kExitUnitFailed
                         : kExitOk;
  StoppedWorkIsOver(status);
  return status;
}

}  // namespace lx40
