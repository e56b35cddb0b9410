// One record line as the reader sees it: the keys every lx40 record has,
// those that later versions add (null or absent in older records), and the
// tables. Texts point into the line being read: valid while its callback
// runs, decoded from JSON, raw device text (show it through
// devtext::ForDisplay).
#ifndef LX40_LX40_REPORT_RECORD_VIEW_H
#define LX40_LX40_REPORT_RECORD_VIEW_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace lx40::records {

enum class Result : uint8_t { kSet, kAlreadySet, kFailed, kCancelled };

inline constexpr size_t kResultCount = 4;

// "set", "already-set", "failed", "cancelled": as the record says it.
std::string_view ResultText(Result result);

struct TableView {
  int64_t type = 0;
  int64_t slot = 0;
  int64_t records = 0;
  std::string_view crc;
  std::string_view outcome;
  std::optional<std::string_view> source;
  std::optional<std::string_view> sha256;
};

struct RecordView {
  // The keys of every record.
  std::string_view serial;
  std::string_view model;
  std::string_view version;
  std::string_view station;
  std::string_view started;  // as stored: UTC, ISO 8601
  std::string_view finished;
  int64_t started_ms = 0;  // since 1970-01-01 UTC
  int64_t finished_ms = 0;
  std::optional<std::string_view> battery;
  std::optional<std::string_view> slots_before;
  std::optional<std::string_view> slots_after;
  Result result = Result::kFailed;
  int64_t code = 0;
  std::string_view message;
  // Keys of later records: absent or null in older ones.
  std::optional<std::string_view> port;
  std::optional<std::string_view> bay;
  std::optional<std::string_view> operator_name;
  std::optional<std::string_view> work_order;
  std::optional<std::string_view> lot;
  std::optional<std::string_view> tool;
  bool seen_before = false;
  // The first kMaxTables tables; `table_count` counts them all.
  static constexpr size_t kMaxTables = 16;
  std::array<TableView, kMaxTables> tables{};
  size_t table_count = 0;
};

}  // namespace lx40::records

#endif
