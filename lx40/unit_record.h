// The record of one unit (one meter) of a setup: what lx40 found, what it
// wrote and how it ended. One JSON object per unit; the record file and
// `setup --json` carry the very same line.
#ifndef LX40_LX40_UNIT_RECORD_H
#define LX40_LX40_UNIT_RECORD_H

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "traceability.h"

namespace lx40 {

enum class TableOutcome { kWritten, kPresent, kFailed, kNotRun };
enum class UnitResult { kSet, kAlreadySet, kFailed, kCancelled };

struct TableRecord {
  uint16_t type = 0;
  uint16_t slot = 0;
  uint16_t records = 0;
  uint16_t crc = 0;
  TableOutcome outcome = TableOutcome::kNotRun;
  std::string source;  // "built-in" or the table file's name
  std::string sha256;  // of the table's bytes, 64 lower-case hex digits
};

struct UnitRecord {
  std::string serial;
  std::string model;
  std::string version;
  std::string port;  // where the meter was plugged ("1-2.4"), "" when not known
  std::string station;
  std::string started;  // UTC, ISO 8601 with milliseconds
  std::string finished;
  std::optional<bool> battery_ok;           // unknown when it was never asked
  std::optional<std::string> slots_before;  // seven digits, slot 0 first
  std::optional<std::string> slots_after;
  std::vector<TableRecord> tables;
  UnitResult result = UnitResult::kFailed;
  int32_t code = 1;  // the Meterlink result code of the outcome
  std::string message;
  std::optional<std::string> bay;  // the bay's label; none outside a station
  Traceability trace;
  std::string tool;  // the program and its version ("lx40 1.1.0")
  // The record file already held a "set" line for this serial when the
  // meter arrived; written (as the line's last key) only when true.
  bool seen_before = false;
};

const char* OutcomeName(TableOutcome outcome);
const char* ResultName(UnitResult result);

// The slot digits as text: "0100000", slot 0 first.
std::string SlotDigits(const uint8_t* slots, size_t count);

// The record as a JSON object, keys in a fixed order: serial, model,
// version, station, started, finished, battery, slots_before, slots_after,
// tables (each: type, slot, records, crc, outcome, source, sha256), result,
// code, message, port, bay, operator, work_order, lot, meta, tool.
nlohmann::ordered_json RecordJson(const UnitRecord& record);

// The record as one JSON Lines line, with its line feed.
std::string RecordLine(const UnitRecord& record);

}  // namespace lx40

#endif
