#include "command_history.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "device_text.h"
#include "exit_status.h"
#include "record_files.h"
#include "report_output.h"

namespace lx40 {

namespace {

// One record of the serial, copied out of the line being read.
struct Entry {
  int64_t started_ms = 0;
  std::string line;  // as stored
  std::string text;  // as shown
};

std::string Shown(std::optional<std::string_view> text) {
  return text ? devtext::ForDisplay(*text) : std::string(records::kNoValue);
}

std::string Describe(const records::RecordView& r) {
  std::string text = devtext::ForDisplay(r.started) + "  " +
                     std::string(records::ResultText(r.result)) + "  station " +
                     devtext::ForDisplay(r.station) + "  port " + Shown(r.port) + "  bay " +
                     Shown(r.bay) + "  operator " + Shown(r.operator_name) + "  work order " +
                     Shown(r.work_order) + "  lot " + Shown(r.lot) + "\n";
  text += "    " +
          records::DurationText(
              r.finished_ms >= r.started_ms
                  ? std::optional<double>(static_cast<double>(r.finished_ms - r.started_ms))
                  : std::nullopt) +
          ", code " + std::to_string(r.code) + ": " + devtext::ForDisplay(r.message) +
          (r.seen_before ? "  (seen before)" : "") + "\n";
  for (size_t i = 0; i < std::min(r.table_count, r.tables.size()); ++i) {
    const records::TableView& table = r.tables[i];
    text += "    table " + std::to_string(table.type) + " slot " + std::to_string(table.slot) +
            ": " + devtext::ForDisplay(table.outcome) + "  crc " + devtext::ForDisplay(table.crc) +
            "  sha256 " + Shown(table.sha256) + "\n";
  }
  if (r.table_count > r.tables.size()) {
    text += "    (" + std::to_string(r.table_count - r.tables.size()) + " more tables)\n";
  }
  return text;
}

}  // namespace

void AddHistoryOptions(CLI::App& app, HistoryOptions& options) {
  app.add_option("SERIAL", options.serial, "The meter's whole serial number")->required();
  app.add_option("--record", options.record_files, "A record file to read (repeatable)")
      ->required();
  app.add_flag("--json", options.json, "The serial's record lines as stored, oldest first");
  app.footer(
      "Every record line of the files is read as a stream; a line that is not a record is "
      "skipped and counted on stderr. Memory grows with the serial's own records only. Exit "
      "status 3 when no file holds a record of the serial.");
}

int RunHistoryCommand(const HistoryOptions& options) {
  if (!records::CheckRecordFiles(options.record_files)) return kExitBadInput;
  std::vector<Entry> entries;
  records::ReadOptions read;
  read.keep_lines = options.json;
  uint64_t count = 0, skipped = 0;
  const bool all = records::ReadRecordFiles(
      options.record_files, read,
      [&](const records::RecordView& record, std::string_view line) {
        if (record.serial != options.serial) return;
        Entry entry;
        entry.started_ms = record.started_ms;
        if (options.json) {
          entry.line = std::string(line);
        } else {
          entry.text = Describe(record);
        }
        entries.push_back(std::move(entry));
      },
      &count, &skipped);
  if (!all) return kExitBadInput;
  if (entries.empty()) {
    std::fprintf(stderr, "lx40: no record of %s in %zu file%s\n",
                 devtext::ForDisplay(options.serial).c_str(), options.record_files.size(),
                 options.record_files.size() == 1 ? "" : "s");
    return kExitNoMeter;
  }
  // Oldest first; records of one moment in the order read.
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return a.started_ms < b.started_ms; });
  if (!options.json) {
    std::printf("%s: %zu record%s\n", devtext::ForDisplay(options.serial).c_str(), entries.size(),
                entries.size() == 1 ? "" : "s");
  }
  for (const Entry& entry : entries) {
    const std::string& text = options.json ? entry.line + "\n" : entry.text;
    std::fwrite(text.data(), 1, text.size(), stdout);
  }
  std::fflush(stdout);
  return kExitOk;
}

}  // namespace lx40
