#include "unit_record.h"

#include "device_text.h"
#include "table_source.h"

namespace lx40 {

namespace {

nlohmann::ordered_json OptionalText(const std::optional<std::string>& text) {
  return text ? nlohmann::ordered_json(*text) : nlohmann::ordered_json(nullptr);
}

}  // namespace

const char* OutcomeName(TableOutcome outcome) {
  switch (outcome) {
    case TableOutcome::kWritten:
      return "written";
    case TableOutcome::kPresent:
      return "present";
    case TableOutcome::kFailed:
      return "failed";
    case TableOutcome::kNotRun:
      return "not-run";
  }
  return "not-run";
}

const char* ResultName(UnitResult result) {
  switch (result) {
    case UnitResult::kSet:
      return "set";
    case UnitResult::kAlreadySet:
      return "already-set";
    case UnitResult::kFailed:
      return "failed";
    case UnitResult::kCancelled:
      return "cancelled";
  }
  return "failed";
}

std::string SlotDigits(const uint8_t* slots, size_t count) {
  std::string digits;
  for (size_t i = 0; i < count; ++i) digits.push_back(slots[i] != 0 ? '1' : '0');
  return digits;
}

nlohmann::ordered_json RecordJson(const UnitRecord& record) {
  nlohmann::ordered_json json;
  // The meter's own text, whole and exact: bytes outside printable ASCII
  // as \xNN, so two serial numbers never give the same record.
  json["serial"] = devtext::Escaped(record.serial);
  json["model"] = devtext::Escaped(record.model);
  json["version"] = devtext::Escaped(record.version);
  json["port"] = record.port;
  json["station"] = record.station;
  json["started"] = record.started;
  json["finished"] = record.finished;
  json["battery"] = record.battery_ok ? nlohmann::ordered_json(*record.battery_ok ? "ok" : "low")
                                      : nlohmann::ordered_json(nullptr);
  json["slots_before"] = OptionalText(record.slots_before);
  json["slots_after"] = OptionalText(record.slots_after);
  nlohmann::ordered_json tables = nlohmann::ordered_json::array();
  for (const TableRecord& table : record.tables) {
    nlohmann::ordered_json entry;
    entry["type"] = table.type;
    entry["slot"] = table.slot;
    entry["records"] = table.records;
    entry["crc"] = CrcText(table.crc);
    entry["outcome"] = OutcomeName(table.outcome);
    entry["source"] = table.source;
    entry["sha256"] = table.sha256;
    tables.push_back(std::move(entry));
  }
  json["tables"] = std::move(tables);
  json["result"] = ResultName(record.result);
  json["code"] = record.code;
  json["message"] = record.message;
  // Who, where and with what; "port" comes before these.
  json["bay"] = OptionalText(record.bay);
  json["operator"] = OptionalText(record.trace.operator_name);
  json["work_order"] = OptionalText(record.trace.work_order);
  json["lot"] = OptionalText(record.trace.lot);
  nlohmann::ordered_json meta = nlohmann::ordered_json::object();
  for (const auto& [key, value] : record.trace.meta) meta[key] = value;
  json["meta"] = std::move(meta);
  json["tool"] = record.tool;
  // Always the last key.
  if (record.seen_before) json["seen_before"] = true;
  return json;
}

std::string RecordLine(const UnitRecord& record) {
  // The device's fields are escaped already (RecordJson); the station's
  // name may hold any bytes: invalid UTF-8 there is replaced rather than
  // allowed to abort the record, and everything beyond ASCII is escaped, so
  // the line is safe on any terminal too.
  return RecordJson(record).dump(-1, ' ', true, nlohmann::ordered_json::error_handler_t::replace) +
         "\n";
}

}  // namespace lx40
