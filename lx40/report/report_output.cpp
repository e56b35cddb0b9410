#include "report_output.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "device_text.h"
#include "local_time.h"

namespace lx40::records {

namespace {

using Json = nlohmann::ordered_json;

constexpr size_t kLabelChars = 40;
constexpr size_t kMessageChars = 100;

std::string Percent(double rate) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f%%", rate * 100.0);
  return text;
}

Json Milliseconds(std::optional<double> value) {
  if (!value) return nullptr;
  return std::round(*value * 10.0) / 10.0;
}

Json Figures(const GroupFigures& group) {
  Json json;
  json["units"] = group.units;
  json["set"] = group.Of(Result::kSet);
  json["already_set"] = group.Of(Result::kAlreadySet);
  json["failed"] = group.Of(Result::kFailed);
  json["cancelled"] = group.Of(Result::kCancelled);
  json["failure_rate"] = group.FailureRate();
  json["median_ms"] = Milliseconds(group.times.Quantile(0.5));
  json["p95_ms"] = Milliseconds(group.times.Quantile(0.95));
  return json;
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

void PrintRow(std::FILE* out, size_t width, const std::string& label, const GroupFigures& group,
              bool mark) {
  std::fprintf(out, "%-*s %7llu %7llu %8llu %7llu %10llu %13s %9s %9s%s\n", static_cast<int>(width),
               label.c_str(), static_cast<unsigned long long>(group.units),
               static_cast<unsigned long long>(group.Of(Result::kSet)),
               static_cast<unsigned long long>(group.Of(Result::kAlreadySet)),
               static_cast<unsigned long long>(group.Of(Result::kFailed)),
               static_cast<unsigned long long>(group.Of(Result::kCancelled)),
               Percent(group.FailureRate()).c_str(),
               DurationText(group.times.Quantile(0.5)).c_str(),
               DurationText(group.times.Quantile(0.95)).c_str(), mark ? "  !" : "");
}

}  // namespace

std::string GroupLabel(const GroupFigures& group, GroupBy by) {
  if (by == GroupBy::kBay) {
    return devtext::ForDisplay(group.station, kLabelChars / 2) + "/" +
           devtext::ForDisplay(group.bay, kLabelChars / 2);
  }
  return devtext::ForDisplay(group.name, kLabelChars);
}

std::string DurationText(std::optional<double> milliseconds) {
  if (!milliseconds) return "-";
  char text[48];
  if (*milliseconds < 1000.0) {
    std::snprintf(text, sizeof text, "%.0f ms", *milliseconds);
  } else {
    std::snprintf(text, sizeof text, "%.1f s", *milliseconds / 1000.0);
  }
  return text;
}

void PrintReportText(std::FILE* out, const Report& report, const ReadFigures& read) {
  const GroupBy by = report.request.by;
  std::fprintf(out, "lx40 report: %llu records in %llu file%s",
               static_cast<unsigned long long>(read.records),
               static_cast<unsigned long long>(read.files), read.files == 1 ? "" : "s");
  if (read.skipped > 0) {
    std::fprintf(out, ", %llu line%s skipped", static_cast<unsigned long long>(read.skipped),
                 read.skipped == 1 ? "" : "s");
  }
  if (report.outside_range > 0) {
    std::fprintf(out, ", %llu outside the time range",
                 static_cast<unsigned long long>(report.outside_range));
  }
  std::fprintf(out, "; by %s\n", std::string(GroupByName(by)).c_str());
  std::vector<std::string> labels;
  size_t width = 5;
  for (const GroupFigures& group : report.groups) {
    labels.push_back(GroupLabel(group, by));
    width = std::max(width, labels.back().size());
  }
  std::fprintf(out, "%-*s %7s %7s %8s %7s %10s %13s %9s %9s\n", static_cast<int>(width), "group",
               "units", "set", "already", "failed", "cancelled", "failure rate", "median", "p95");
  bool marked = false;
  for (size_t i = 0; i < report.groups.size(); ++i) {
    PrintRow(out, width, labels[i], report.groups[i], report.groups[i].outlier);
    marked = marked || report.groups[i].outlier;
  }
  if (by != GroupBy::kAll) PrintRow(out, width, "total", report.total, false);
  if (marked) {
    std::fprintf(out,
                 "! failure rate well above the other bays of its station (lx40 report --help)\n");
  }
  if (!report.failures.empty()) {
    std::fprintf(out, "\nfailure messages, most frequent first:\n");
    for (const auto& [message, count] : report.failures) {
      std::fprintf(out, "%7llu  %s\n", static_cast<unsigned long long>(count),
                   devtext::ForDisplay(message, kMessageChars).c_str());
    }
  }
  if (report.request.duplicates) {
    std::fprintf(out, "\nserial numbers set more than once: %zu\n", report.duplicates.size());
    for (const Duplicate& duplicate : report.duplicates) {
      std::fprintf(out, "%s (%zu times)\n", devtext::ForDisplay(duplicate.serial).c_str(),
                   duplicate.sets.size());
      for (const Duplicate::Set& set : duplicate.sets) {
        std::fprintf(out, "  %s  station %s  bay %s  port %s\n", UtcText(set.started_ms).c_str(),
                     devtext::ForDisplay(set.station).c_str(),
                     devtext::ForDisplay(set.bay.value_or(std::string(kNoValue))).c_str(),
                     devtext::ForDisplay(set.port.value_or(std::string(kNoValue))).c_str());
      }
    }
  }
}

void PrintReportJson(std::FILE* out, const Report& report, const ReadFigures& read) {
  const GroupBy by = report.request.by;
  Json json;
  json["by"] = std::string(GroupByName(by));
  json["files"] = read.files;
  json["records"] = read.records;
  json["skipped_lines"] = read.skipped;
  json["outside_range"] = report.outside_range;
  Json groups = Json::array();
  for (const GroupFigures& group : report.groups) {
    Json entry;
    if (by == GroupBy::kBay) {
      entry["station"] = group.station;
      entry["bay"] = group.bay;
    } else {
      entry["group"] = group.name;
    }
    entry.update(Figures(group));
    if (by == GroupBy::kBay) entry["outlier"] = group.outlier;
    groups.push_back(std::move(entry));
  }
  json["groups"] = std::move(groups);
  json["total"] = Figures(report.total);
  Json failures = Json::array();
  for (const auto& [message, count] : report.failures) {
    failures.push_back(Json{{"message", message}, {"count", count}});
  }
  json["failures"] = std::move(failures);
  if (report.request.duplicates) {
    Json duplicates = Json::array();
    for (const Duplicate& duplicate : report.duplicates) {
      Json sets = Json::array();
      for (const Duplicate::Set& set : duplicate.sets) {
        sets.push_back(Json{{"started", UtcText(set.started_ms)},
                            {"station", set.station},
                            {"bay", set.bay ? Json(*set.bay) : Json(nullptr)},
                            {"port", set.port ? Json(*set.port) : Json(nullptr)}});
      }
      duplicates.push_back(Json{{"serial", duplicate.serial}, {"sets", std::move(sets)}});
    }
    json["duplicates"] = std::move(duplicates);
  }
  const std::string text = json.dump(2, ' ', true, Json::error_handler_t::replace) + "\n";
  std::fwrite(text.data(), 1, text.size(), out);
}

void PrintReportCsv(std::FILE* out, const Report& report) {
  const GroupBy by = report.request.by;
  std::fprintf(out, "%s,units,set,already_set,failed,cancelled,failure_rate,median_ms,p95_ms%s\n",
               by == GroupBy::kBay ? "station,bay" : "group",
               by == GroupBy::kBay ? ",outlier" : "");
  for (const GroupFigures& group : report.groups) {
    const std::string name = by == GroupBy::kBay
                                 ? CsvField(devtext::ForDisplay(group.station)) + "," +
                                       CsvField(devtext::ForDisplay(group.bay))
                                 : CsvField(devtext::ForDisplay(group.name));
    const Json median = Milliseconds(group.times.Quantile(0.5));
    const Json p95 = Milliseconds(group.times.Quantile(0.95));
    std::fprintf(out, "%s,%llu,%llu,%llu,%llu,%llu,%.4f,%s,%s%s\n", name.c_str(),
                 static_cast<unsigned long long>(group.units),
                 static_cast<unsigned long long>(group.Of(Result::kSet)),
                 static_cast<unsigned long long>(group.Of(Result::kAlreadySet)),
                 static_cast<unsigned long long>(group.Of(Result::kFailed)),
                 static_cast<unsigned long long>(group.Of(Result::kCancelled)), group.FailureRate(),
                 median.is_null() ? "" : median.dump().c_str(),
                 p95.is_null() ? "" : p95.dump().c_str(),
                 by == GroupBy::kBay ? (group.outlier ? ",1" : ",0") : "");
  }
}

}  // namespace lx40::records
