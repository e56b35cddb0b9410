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

namespace lx40 {

enum class TableOutcome { kWritten, kPresent, kFailed, kNotRun };
enum class UnitResult { kSet, kAlreadySet, kFailed, kCancelled };

struct TableRecord {
  uint16_t type = 0;
  uint16_t slot = 0;
  uint16_t records = 0;
  uint16_t crc = 0;
  TableOutcome outcome = TableOutcome::kNotRun;
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
};

const char* OutcomeName(TableOutcome outcome);
const char* ResultName(UnitResult result);

// The slot digits as text: "0100000", slot 0 first.
std::string SlotDigits(const uint8_t* slots, size_t count);

// The record as a JSON object, keys in a fixed order.
nlohmann::ordered_json RecordJson(const UnitRecord& record);

// The record as one JSON Lines line, with its line feed.
std::string RecordLine(const UnitRecord& record);

}  // namespace lx40

#endif
