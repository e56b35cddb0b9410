// lx40 station checks its inputs (bays, tables, settle time, record file)
// before any meter is touched, then watches and sets up until stopped.
#include "command_station.h"

#include <CLI/CLI.hpp>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>

#include "bay_board.h"
#include "bays_file.h"
#include "command_setup.h"
#include "device_text.h"
#include "exit_status.h"
#include "interrupt.h"
#include "learn_bays.h"
#include "record_file.h"
#include "seen_before_check.h"
#include "settle_time.h"
#include "station_clock.h"
#include "station_subscriber.h"
#include "station_view.h"
#include "station_watch.h"

namespace lx40::station {

namespace {

std::string Now() { return UtcTimestamp(std::chrono::system_clock::now()); }

int LearnBaysCommand(const std::string& path) {
  InstallInterruptHandler();
  const std::vector<Bay> bays = LearnBays(
      stdout, [] { return InterruptCount() > 0; }, kPollInterval);
  if (bays.empty()) {
    std::fprintf(stderr, "lx40: no bay learned; %s not written\n", path.c_str());
    return kExitUnitFailed;
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << BaysText(bays);
  file.close();
  if (!file) {
    std::fprintf(stderr, "lx40: %s cannot be written\n", path.c_str());
    return kExitBadInput;
  }
  std::fprintf(stdout, "lx40: %zu bay(s) written to %s\n", bays.size(), path.c_str());
  return kExitOk;
}

// Ctrl+C and the requests to end as the station sees them, telling the
// operator once per level: 1 (one Ctrl+C) no unit starts and the units in
// progress finish; 2 (a second Ctrl+C, or the system asking the process to
// end: SIGTERM, SIGHUP, the console closed, logoff, shutdown, the session's
// end, which leave little time) the units stop between two load steps.
class StopWatch {
 public:
  explicit StopWatch(StationView& view, std::FILE* to) : view_(view), to_(to) {}
  int operator()() {
    const int count = InterruptCount();
    const bool end = EndRequested();
    const int level = end || count >= 2 ? 2 : count;
    // Raise the level shown, never lower it, and tell each level once.
    int shown = shown_.load();
    while (level > shown && !shown_.compare_exchange_weak(shown, level)) {
    }
    if (level > shown) {
      view_.Message(to_, level == 1 ? "lx40: stopping: the units in progress finish, no new "
                                      "unit starts (Ctrl+C again stops at once)"
                         : end      ? "lx40: asked to end: stopping at once; a meter stopped "
                                      "mid-table stores nothing and must be plugged in again"
                                    : "lx40: stopping at once: a meter stopped mid-table "
                                      "stores nothing and must be plugged in again");
    }
    return level;
  }

 private:
  StationView& view_;
  std::FILE* to_;
  std::atomic<int> shown_{0};
};

}  // namespace

void AddStationOptions(CLI::App& app, StationOptions& options) {
  app.add_option("--bays", options.bays_file,
                 "The bays: a file of \"LABEL PORT\" lines (default: every port is a bay)");
  app.add_option("--learn-bays", options.learn_bays_file,
                 "Write a bays file: plug a meter into bay 1, 2, ... then Ctrl+C");
  app.add_option("--table", options.table_files,
                 "A table file to write instead of the built-in tables (repeatable)");
  app.add_option("--record", options.record_file, "Append one JSON line per unit to this file");
  app.add_flag("--json", options.json,
               "One JSON object per event on stdout; the bays are shown on stderr");
  app.add_option("--max-units", options.max_units, "Stop once this many units have finished")
      ->check(CLI::Range(1, 1000000));
  AddTraceabilityOptions(app, options.trace);
  app.add_option("--http", options.http,
                 "Serve the station page at [ADDRESS:]PORT (default address 127.0.0.1)");
}

int RunStationCommand(const StationOptions& options, StationSubscriber* subscriber) {
  if (!options.learn_bays_file.empty()) {
    if (!options.bays_file.empty()) {
      std::fprintf(stderr, "lx40: --learn-bays and --bays do not go together\n");
      return kExitBadInput;
    }
    return LearnBaysCommand(options.learn_bays_file);
  }
  StationPlan plan;
  std::string error = CheckTraceability(options.trace, &plan.setup.trace);
  if (!error.empty()) {
    std::fprintf(stderr, "lx40: %s\n", error.c_str());
    return kExitBadInput;
  }
  std::vector<Bay> bays;
  if (!options.bays_file.empty() && !ReadBaysFile(options.bays_file, &bays, &error)) {
    std::fprintf(stderr, "lx40: %s: %s\n", options.bays_file.c_str(), error.c_str());
    return kExitBadInput;
  }
  if (!GatherTables(options.table_files, &plan.setup.tables)) return kExitBadInput;
  plan.setup.settle = SettleTime(&error);
  if (!error.empty()) {
    std::fprintf(stderr, "lx40: %s\n", error.c_str());
    return kExitBadInput;
  }
  std::unique_ptr<RecordFile> record_file;
  if (!RecordFile::OpenForCommand(options.record_file, &record_file)) return kExitBadInput;
  std::unique_ptr<records::SeenBeforeIndex> seen;
  if (!OpenSeenBeforeIndex(options.record_file, &seen)) return kExitBadInput;
  plan.setup.station = StationName();

  InstallInterruptHandler();
  std::FILE* human = options.json ? stderr : stdout;
  StationView view(human, StationView::StyleFor(human));
  const bool json = options.json;
  BayBoard board(
      std::move(bays), options.max_units,
      [&view, json, subscriber](const StationEvent& event, const std::vector<BayRow>& rows,
                                const StationCounts& counts) {
        if (subscriber) subscriber->OnEvent(event);
        if (json && !event.throttled) {
          const std::string line = EventLine(event);
          std::fwrite(line.data(), 1, line.size(), stdout);
          std::fflush(stdout);
        }
        view.Show(event, rows, counts);
      },
      Now);
  plan.setup.seen_before =
      SeenBeforeWarning(seen.get(), options.record_file,
                        [&view](const std::string& line) { view.Message(stderr, line); });
  if (subscriber) subscriber->Attach(board, plan);
  std::atomic<bool> record_failed{false};
  StopWatch stop(view, stderr);
  RunStation(
      plan, board,
      [&](const UnitRecord& record) {
        if (!record_file) return;
        std::string why;
        if (!record_file->Append(RecordLine(record), &why)) {
          record_failed = true;
          view.Message(stderr, devtext::ForDisplay(record.serial) +
                                   ": the record could not be written to " + record_file->Path() +
                                   ": " + why);
        }
      },
      [&stop] { return stop(); });
  view.Finish();
  if (subscriber) subscriber->Detach();

  const StationCounts counts = board.Counts();
  const std::vector<std::string> replug = board.Replug();
  if (!replug.empty()) {
    std::string names;
    for (const std::string& serial : replug) {
      names += (names.empty() ? "" : ", ") + devtext::ForDisplay(serial);
    }
    std::fprintf(stderr,
                 "lx40: unplug these meters and plug them in again before their next use: %s\n",
                 names.c_str());
  }
  std::fflush(stderr);
  const int status = counts.failed > 0 || record_failed ? kExitUnitFailed : kExitOk;
  StoppedWorkIsOver(status);
  return status;
}

}  // namespace lx40::station
