// The figures of `lx40 report`, gathered record by record: per group the
// units and their results, the unit times (a histogram), the failure
// messages, and with --duplicates the serial numbers set more than once.
// Memory grows with the groups and the distinct failure messages, and with
// --duplicates with the distinct serial numbers set; never with the lines.
#ifndef LX40_LX40_REPORT_REPORT_BUILDER_H
#define LX40_LX40_REPORT_REPORT_BUILDER_H

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "local_time.h"
#include "record_view.h"
#include "unit_time_histogram.h"

namespace lx40::records {

enum class GroupBy { kAll, kDay, kHour, kStation, kBay, kOperator, kWorkOrder, kLot, kResult };

// "day", "hour", ...: the --by names; nothing for an unknown name.
std::optional<GroupBy> GroupByFromName(std::string_view name);
std::string_view GroupByName(GroupBy by);

// The text of a group whose key is absent or null in a record.
inline constexpr std::string_view kNoValue = "-";

struct ReportRequest {
  GroupBy by = GroupBy::kAll;
  std::optional<int64_t> since;  // records started at or after (ms since 1970 UTC)
  std::optional<int64_t> until;  // records started before
  bool utc = false;              // days and hours in UTC rather than local time
  bool duplicates = false;
};

struct GroupFigures {
  std::string name;     // the group's key (raw text; "station" and "bay" for --by bay)
  std::string station;  // --by bay only
  std::string bay;      // --by bay only
  uint64_t units = 0;
  std::array<uint64_t, kResultCount> results{};  // by Result
  UnitTimeHistogram times;
  bool outlier = false;  // --by bay: the rule of OutlierRule()

  uint64_t Of(Result result) const { return results[static_cast<size_t>(result)]; }
  double FailureRate() const {
    return units == 0 ? 0.0 : static_cast<double>(Of(Result::kFailed)) / static_cast<double>(units);
  }
};

struct Duplicate {
  struct Set {
    std::string station;
    std::optional<std::string> bay;
    std::optional<std::string> port;
    int64_t started_ms = 0;
  };
  std::string serial;
  std::vector<Set> sets;  // oldest first
};

struct Report {
  ReportRequest request;
  std::vector<GroupFigures> groups;  // by name
  GroupFigures total;
  uint64_t outside_range = 0;  // records before --since or from --until on
  std::vector<std::pair<std::string, uint64_t>> failures;  // most frequent first
  std::vector<Duplicate> duplicates;                       // by serial
};

// The rule --by bay marks bays by, as --help says it.
std::string_view OutlierRule();

// A bay's failures against its station's other bays: true when it stands
// well above them (OutlierRule()).
bool IsOutlier(uint64_t units, uint64_t failures, uint64_t other_units, uint64_t other_failures);

class ReportBuilder {
 public:
  explicit ReportBuilder(const ReportRequest& request);

  void Add(const RecordView& record);
  Report Finish();

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  template <typename Value>
  using Map = std::unordered_map<std::string, Value, Hash, std::equal_to<>>;

  struct Place {
    uint32_t station;
    uint32_t bay;   // 0: none
    uint32_t port;  // 0: none
    int64_t started_ms;
  };

  std::string_view GroupKey(const RecordView& record);
  uint32_t Intern(std::optional<std::string_view> text);

  const ReportRequest request_;
  CalendarLabels labels_;
  std::string key_;  // built anew for each record
  Map<size_t> group_index_;
  std::vector<GroupFigures> groups_;
  GroupFigures total_;
  uint64_t outside_range_ = 0;
  Map<uint64_t> failures_;
  Map<uint32_t> intern_index_;
  std::vector<std::string> interned_;
  Map<std::vector<Place>> sets_;
};

}  // namespace lx40::records

#endif
