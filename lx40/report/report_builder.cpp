#include "report_builder.h"

#include <algorithm>
#include <cmath>

namespace lx40::records {

namespace {

constexpr struct {
  std::string_view name;
  GroupBy by;
} kGroupings[] = {
    {"day", GroupBy::kDay}, {"hour", GroupBy::kHour},         {"station", GroupBy::kStation},
    {"bay", GroupBy::kBay}, {"operator", GroupBy::kOperator}, {"work-order", GroupBy::kWorkOrder},
    {"lot", GroupBy::kLot}, {"result", GroupBy::kResult},
};

std::string_view OrNone(const std::optional<std::string_view>& text) {
  return text ? *text : kNoValue;
}

// The outlier rule's numbers.
constexpr uint64_t kMinUnits = 20;
constexpr uint64_t kMinFailures = 3;
constexpr double kRateFactor = 2.0;
constexpr double kDeviations = 3.0;

}  // namespace

std::optional<GroupBy> GroupByFromName(std::string_view name) {
  for (const auto& grouping : kGroupings) {
    if (grouping.name == name) return grouping.by;
  }
  return std::nullopt;
}

std::string_view GroupByName(GroupBy by) {
  for (const auto& grouping : kGroupings) {
    if (grouping.by == by) return grouping.name;
  }
  return "all";
}

std::string_view OutlierRule() {
  return "A bay is marked \"!\" (\"outlier\": true) when it has at least 20 units and 3 failures, "
         "its failure rate is at least twice that of the other bays of its station taken "
         "together, and its failures exceed what that rate predicts for its units by more than "
         "3 standard deviations (binomial).";
}

bool IsOutlier(uint64_t units, uint64_t failures, uint64_t other_units, uint64_t other_failures) {
  if (units < kMinUnits || failures < kMinFailures || other_units == 0) return false;
  const double rate = static_cast<double>(failures) / static_cast<double>(units);
  const double others = static_cast<double>(other_failures) / static_cast<double>(other_units);
  if (rate < kRateFactor * others) return false;
  const double expected = others * static_cast<double>(units);
  const double deviation = std::sqrt(expected * (1.0 - others));
  return static_cast<double>(failures) > expected + kDeviations * deviation;
}

ReportBuilder::ReportBuilder(const ReportRequest& request)
    : request_(request), labels_(request.utc) {
  total_.name = "total";
  interned_.emplace_back();  // 0: none
}

std::string_view ReportBuilder::GroupKey(const RecordView& record) {
  switch (request_.by) {
    case GroupBy::kAll:
      return "all";
    case GroupBy::kDay:
      return labels_.Day(record.started_ms);
    case GroupBy::kHour:
      return labels_.Hour(record.started_ms);
    case GroupBy::kStation:
      return record.station;
    case GroupBy::kBay:
      // The station, a NUL byte, the bay.
      key_.assign(record.station);
      key_.push_back('\0');
      key_.append(OrNone(record.bay));
      return key_;
    case GroupBy::kOperator:
      return OrNone(record.operator_name);
    case GroupBy::kWorkOrder:
      return OrNone(record.work_order);
    case GroupBy::kLot:
      return OrNone(record.lot);
    case GroupBy::kResult:
      return ResultText(record.result);
  }
  return "all";
}

uint32_t ReportBuilder::Intern(std::optional<std::string_view> text) {
  if (!text) return 0;
  const auto found = intern_index_.find(*text);
  if (found != intern_index_.end()) return found->second;
  const auto index = static_cast<uint32_t>(interned_.size());
  interned_.emplace_back(*text);
  intern_index_.emplace(std::string(*text), index);
  return index;
}

void ReportBuilder::Add(const RecordView& record) {
  if ((request_.since && record.started_ms < *request_.since) ||
      (request_.until && record.started_ms >= *request_.until)) {
    ++outside_range_;
    return;
  }
  const std::string_view key = GroupKey(record);
  auto found = group_index_.find(key);
  if (found == group_index_.end()) {
    found = group_index_.emplace(std::string(key), groups_.size()).first;
    GroupFigures group;
    group.name = std::string(key);
    if (request_.by == GroupBy::kBay) {
      group.station = std::string(record.station);
      group.bay = std::string(OrNone(record.bay));
    }
    groups_.push_back(std::move(group));
  }
  for (GroupFigures* figures : {&groups_[found->second], &total_}) {
    ++figures->units;
    ++figures->results[static_cast<size_t>(record.result)];
    figures->times.Add(record.finished_ms - record.started_ms);
  }
  if (record.result == Result::kFailed) {
    const auto message = failures_.find(record.message);
    if (message != failures_.end()) {
      ++message->second;
    } else {
      failures_.emplace(std::string(record.message), 1);
    }
  }
  if (request_.duplicates && record.result == Result::kSet) {
    const Place place{Intern(record.station), Intern(record.bay), Intern(record.port),
                      record.started_ms};
    const auto serial = sets_.find(record.serial);
    if (serial != sets_.end()) {
      serial->second.push_back(place);
    } else {
      sets_.emplace(std::string(record.serial), std::vector<Place>{place});
    }
  }
}

Report ReportBuilder::Finish() {
  Report report;
  report.request = request_;
  report.outside_range = outside_range_;
  report.total = std::move(total_);
  report.groups = std::move(groups_);
  std::sort(report.groups.begin(), report.groups.end(),
            [](const GroupFigures& a, const GroupFigures& b) { return a.name < b.name; });
  if (request_.by == GroupBy::kBay) {
    // Each bay against the other bays of its station.
    std::unordered_map<std::string, std::pair<uint64_t, uint64_t>> stations;
    for (const GroupFigures& group : report.groups) {
      auto& [units, failures] = stations[group.station];
      units += group.units;
      failures += group.Of(Result::kFailed);
    }
    for (GroupFigures& group : report.groups) {
      const auto& [units, failures] = stations[group.station];
      const uint64_t failed = group.Of(Result::kFailed);
      group.outlier = IsOutlier(group.units, failed, units - group.units, failures - failed);
    }
  }
  report.failures.assign(failures_.begin(), failures_.end());
  std::sort(report.failures.begin(), report.failures.end(), [](const auto& a, const auto& b) {
    return a.second != b.second ? a.second > b.second : a.first < b.first;
  });
  for (auto& [serial, places] : sets_) {
    if (places.size() < 2) continue;
    std::stable_sort(places.begin(), places.end(),
                     [](const Place& a, const Place& b) { return a.started_ms < b.started_ms; });
    Duplicate duplicate;
    duplicate.serial = serial;
    for (const Place& place : places) {
      Duplicate::Set set;
      set.station = interned_[place.station];
      if (place.bay != 0) set.bay = interned_[place.bay];
      if (place.port != 0) set.port = interned_[place.port];
      set.started_ms = place.started_ms;
      duplicate.sets.push_back(std::move(set));
    }
    report.duplicates.push_back(std::move(duplicate));
  }
  std::sort(report.duplicates.begin(), report.duplicates.end(),
            [](const Duplicate& a, const Duplicate& b) { return a.serial < b.serial; });
  return report;
}

}  // namespace lx40::records
