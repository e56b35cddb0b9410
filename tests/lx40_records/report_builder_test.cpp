// The report's figures from records whose counts are known: per group,
// the failure messages, the time range at its edges, duplicates, the unit
// time histogram against exact quantiles, the outlier rule; and the
// seen-before index on a file that grows while it is open.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "local_time.h"
#include "record_time.h"
#include "report_builder.h"
#include "seen_before_index.h"
#include "unit_time_histogram.h"

namespace lx40::records {
namespace {

// A record as the builder sees it; texts live in the test's strings.
RecordView Unit(std::string_view station, std::optional<std::string_view> bay, Result result,
                const char* started, int64_t seconds, std::string_view message = "") {
  RecordView record;
  record.serial = "S";
  record.station = station;
  record.bay = bay;
  record.result = result;
  record.started = started;
  record.started_ms = *ParseUtcTimestamp(started);
  record.finished_ms = record.started_ms + seconds * 1000;
  record.message = message;
  return record;
}

TEST(ReportBuilder, CountsEachGroupsResultsAndRanksFailureMessages) {
  ReportRequest request;
  request.by = GroupBy::kStation;
  ReportBuilder builder(request);
  const char* t = "2026-03-14T09:00:00.000Z";
  builder.Add(Unit("st1", "1", Result::kSet, t, 40));
  builder.Add(Unit("st1", "1", Result::kSet, t, 42));
  builder.Add(Unit("st1", "2", Result::kFailed, t, 5, "Battery low"));
  builder.Add(Unit("st1", "2", Result::kCancelled, t, 3));
  builder.Add(Unit("st2", std::nullopt, Result::kAlreadySet, t, 2));
  builder.Add(Unit("st2", std::nullopt, Result::kFailed, t, 6, "No answer"));
  builder.Add(Unit("st2", std::nullopt, Result::kFailed, t, 7, "Battery low"));
  const Report report = builder.Finish();
  ASSERT_EQ(report.groups.size(), 2u);
  EXPECT_EQ(report.groups[0].name, "st1");
  const GroupFigures& st1 = report.groups[0];
  EXPECT_EQ(st1.units, 4u);
  EXPECT_EQ(st1.Of(Result::kSet), 2u);
  EXPECT_EQ(st1.Of(Result::kFailed), 1u);
  EXPECT_EQ(st1.Of(Result::kCancelled), 1u);
  EXPECT_DOUBLE_EQ(st1.FailureRate(), 0.25);
  const GroupFigures& st2 = report.groups[1];
  EXPECT_EQ(st2.units, 3u);
  EXPECT_EQ(st2.Of(Result::kAlreadySet), 1u);
  EXPECT_NEAR(st2.FailureRate(), 2.0 / 3.0, 1e-12);
  EXPECT_EQ(report.total.units, 7u);
  EXPECT_EQ(report.total.Of(Result::kFailed), 3u);
  using Failures = std::vector<std::pair<std::string, uint64_t>>;
  EXPECT_EQ(report.failures, (Failures{{"Battery low", 2}, {"No answer", 1}}));
  // Medians by nearest rank, within the histogram's precision.
  EXPECT_NEAR(*st1.times.Quantile(0.5), 5000, 5000 * 0.011);
  EXPECT_NEAR(*st1.times.Quantile(0.95), 42000, 42000 * 0.011);
}

TEST(ReportBuilder, GroupsWhatOldRecordsLackUnderADash) {
  for (const GroupBy by : {GroupBy::kBay, GroupBy::kOperator, GroupBy::kWorkOrder, GroupBy::kLot}) {
    ReportRequest request;
    request.by = by;
    ReportBuilder builder(request);
    builder.Add(Unit("st1", std::nullopt, Result::kSet, "2026-03-14T09:00:00.000Z", 1));
    const Report report = builder.Finish();
    ASSERT_EQ(report.groups.size(), 1u);
    if (by == GroupBy::kBay) {
      EXPECT_EQ(report.groups[0].station, "st1");
      EXPECT_EQ(report.groups[0].bay, "-");
    } else {
      EXPECT_EQ(report.groups[0].name, "-");
    }
  }
}

TEST(ReportBuilder, SinceIsInclusiveAndUntilExclusiveToTheMillisecond) {
  ReportRequest request;
  request.by = GroupBy::kHour;
  request.utc = true;
  request.since = ParseTimeArgument("2026-03-14 09:00", true);
  request.until = ParseTimeArgument("2026-03-14T11:00:00Z", false);
  ReportBuilder builder(request);
  for (const char* started :
       {"2026-03-14T08:59:59.999Z", "2026-03-14T09:00:00.000Z", "2026-03-14T10:59:59.999Z",
        "2026-03-14T11:00:00.000Z", "2026-03-14T10:30:00.000Z"}) {
    builder.Add(Unit("st1", "1", Result::kSet, started, 1));
  }
  const Report report = builder.Finish();
  EXPECT_EQ(report.outside_range, 2u);
  ASSERT_EQ(report.groups.size(), 2u);
  EXPECT_EQ(report.groups[0].name, "2026-03-14 09:00");
  EXPECT_EQ(report.groups[0].units, 1u);
  EXPECT_EQ(report.groups[1].name, "2026-03-14 10:00");
  EXPECT_EQ(report.groups[1].units, 2u);
}

TEST(ReportBuilder, ListsSerialsSetMoreThanOnceWithWhereAndWhen) {
  ReportRequest request;
  request.duplicates = true;
  ReportBuilder builder(request);
  struct Row {
    const char* serial;
    const char* station;
    Result result;
    const char* started;
  } rows[] = {
      {"B2", "st2", Result::kSet, "2026-03-14T10:00:00.000Z"},
      {"A1", "st1", Result::kSet, "2026-03-14T09:00:00.000Z"},
      {"B2", "st1", Result::kSet, "2026-03-14T09:30:00.000Z"},
      {"C3", "st1", Result::kSet, "2026-03-14T09:00:00.000Z"},
      {"C3", "st1", Result::kAlreadySet, "2026-03-14T09:10:00.000Z"},  // not a second set
      {"A1", "st1", Result::kFailed, "2026-03-14T09:20:00.000Z"},
  };
  for (const Row& row : rows) {
    RecordView record = Unit(row.station, std::nullopt, row.result, row.started, 1);
    record.serial = row.serial;
    record.port = "1-2";
    builder.Add(record);
  }
  const Report report = builder.Finish();
  ASSERT_EQ(report.duplicates.size(), 1u);
  const Duplicate& twice = report.duplicates[0];
  EXPECT_EQ(twice.serial, "B2");
  ASSERT_EQ(twice.sets.size(), 2u);
  EXPECT_EQ(twice.sets[0].station, "st1");  // oldest first
  EXPECT_EQ(UtcText(twice.sets[0].started_ms), "2026-03-14T09:30:00.000Z");
  EXPECT_EQ(twice.sets[1].station, "st2");
  EXPECT_EQ(twice.sets[1].port, "1-2");
  EXPECT_FALSE(twice.sets[1].bay.has_value());
}

TEST(ReportBuilder, MarksTheBayThatFailsWellAboveItsStationsOthers) {
  ReportRequest request;
  request.by = GroupBy::kBay;
  ReportBuilder builder(request);
  const char* t = "2026-03-14T09:00:00.000Z";
  // st1: bays 1 to 4 fail 1 in 40, bay 5 fails 8 in 40; st2: bay 9 alone
  // fails 8 in 40 (no other bay to compare with).
  for (const std::string_view bay : {"1", "2", "3", "4", "5"}) {
    const int failures = bay == "5" ? 8 : 1;
    for (int i = 0; i < 40; ++i) {
      builder.Add(Unit("st1", bay, i < failures ? Result::kFailed : Result::kSet, t, 1));
    }
  }
  for (int i = 0; i < 40; ++i)
    builder.Add(Unit("st2", "9", i < 8 ? Result::kFailed : Result::kSet, t, 1));
  const Report report = builder.Finish();
  for (const GroupFigures& group : report.groups) {
    EXPECT_EQ(group.outlier, group.station == "st1" && group.bay == "5")
        << group.station << "/" << group.bay;
  }
}

TEST(OutlierRule, NeedsEnoughUnitsFailuresAndDistance) {
  struct Case {
    uint64_t units, failures, other_units, other_failures;
    bool outlier;
  } cases[] = {
      {40, 8, 160, 4, true},       // 20% against 2.5%
      {19, 10, 160, 4, false},     // too few units
      {100, 2, 1000, 0, false},    // too few failures
      {100, 3, 1000, 0, true},     // the others never fail
      {40, 4, 160, 8, false},      // 10% against 5%: twice, but within chance
      {400, 39, 1600, 80, false},  // far beyond chance, but under twice the others' rate
      {400, 40, 1600, 80, true},  {40, 8, 0, 0, false},  // a station of one bay
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsOutlier(c.units, c.failures, c.other_units, c.other_failures), c.outlier)
        << c.units << " " << c.failures << " " << c.other_units << " " << c.other_failures;
  }
}

TEST(UnitTimeHistogram, QuantilesStayWithinTheStatedPrecision) {
  std::mt19937_64 random(7);
  std::lognormal_distribution<double> times(std::log(40000.0), 0.6);
  for (const size_t count : {size_t{1}, size_t{2}, size_t{19}, size_t{1000}, size_t{20001}}) {
    UnitTimeHistogram histogram;
    std::vector<int64_t> exact;
    for (size_t i = 0; i < count; ++i) {
      const auto ms = static_cast<int64_t>(times(random));
      exact.push_back(ms);
      histogram.Add(ms);
    }
    std::sort(exact.begin(), exact.end());
    for (const double q : {0.5, 0.95, 1.0}) {
      const size_t rank =
          std::max<size_t>(1, static_cast<size_t>(std::ceil(q * static_cast<double>(count))));
      const double truth = static_cast<double>(exact[rank - 1]);
      EXPECT_NEAR(*histogram.Quantile(q), truth, truth * 0.011) << count << " " << q;
    }
  }
  UnitTimeHistogram empty;
  EXPECT_FALSE(empty.Quantile(0.5).has_value());
  EXPECT_FALSE(empty.Add(-5));  // a clock set back is not a time
  EXPECT_TRUE(empty.Add(0));
  EXPECT_EQ(*empty.Quantile(0.5), 0.0);
}

TEST(LocalTime, ParsesTheCommandLinesTimesInUtcOrLocalTime) {
  struct Case {
    const char* text;
    std::optional<const char*> utc;
  } cases[] = {
      {"2026-03-14", "2026-03-14T00:00:00.000Z"},
      {"2026-03-14 09:26", "2026-03-14T09:26:00.000Z"},
      {"2026-03-14T09:26:53", "2026-03-14T09:26:53.000Z"},
      {"2026-03-14T09:26:53.5", "2026-03-14T09:26:53.500Z"},
      {"2026-03-14", "2026-03-14T00:00:00.000Z"},
      {"2026-3-14", std::nullopt},
      {"2026-03-14 9:26", std::nullopt},
      {"yesterday", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<int64_t> ms = ParseTimeArgument(c.text, true);
    ASSERT_EQ(ms.has_value(), c.utc.has_value()) << c.text;
    if (ms) {
      EXPECT_EQ(UtcText(*ms), *c.utc) << c.text;
    }
  }
  // Local time: the same calendar fields as the local calendar of the
  // result, whatever the machine's time zone.
  const std::optional<int64_t> local = ParseTimeArgument("2026-07-01 12:00", false);
  ASSERT_TRUE(local.has_value());
  CalendarLabels labels(false);
  EXPECT_EQ(labels.Hour(*local), "2026-07-01 12:00");
  // A final Z means UTC whatever --utc says.
  EXPECT_EQ(ParseTimeArgument("2026-07-01T12:00:00Z", false),
            ParseTimeArgument("2026-07-01 12:00", true));
}

class SeenBeforeIndexTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = (std::filesystem::temp_directory_path() /
             ("lx40-seen-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
              "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".jsonl"))
                .string();
    std::filesystem::remove(path_);
  }
  void TearDown() override { std::filesystem::remove(path_); }
  void Append(const std::string& text) {
    std::ofstream out(path_, std::ios::binary | std::ios::app);
    out << text;
  }
  static std::string Line(const char* serial, const char* result) {
    return std::string(R"({"serial":")") + serial +
           R"(","model":"LX40","version":"2.1","station":"st1","started":"2026-03-14T09:00:00.000Z",)"
           R"("finished":"2026-03-14T09:00:40.000Z","battery":"ok","slots_before":null,)"
           R"("slots_after":null,"tables":[],"result":")" +
           result + R"(","code":0,"message":""})";
  }
  std::string path_;
};

TEST_F(SeenBeforeIndexTest, KnowsSerialsWithASetLineIncludingThoseAppendedLater) {
  Append(Line("A1", "set") + "\n" + Line("B2", "failed") + "\n" + Line("C3", "already-set") +
         "\nnot json\n");
  std::string error;
  auto index = SeenBeforeIndex::Open(path_, &error);
  ASSERT_NE(index, nullptr) << error;
  EXPECT_TRUE(index->SeenBefore("A1"));
  EXPECT_FALSE(index->SeenBefore("B2"));  // failed: never set
  EXPECT_FALSE(index->SeenBefore("C3"));  // already set: by someone else, not a set line
  EXPECT_FALSE(index->SeenBefore("D4"));
  EXPECT_EQ(index->Tally().Skipped(), 1u);
  // Another run appends: half a line first, then the rest.
  const std::string d4 = Line("D4", "set");
  Append(d4.substr(0, 50));
  EXPECT_FALSE(index->SeenBefore("D4"));
  Append(d4.substr(50) + "\n" + Line("B2", "set") + "\n");
  EXPECT_TRUE(index->SeenBefore("D4"));
  EXPECT_TRUE(index->SeenBefore("B2"));
  EXPECT_EQ(index->Tally().Skipped(), 1u);  // the half line was not counted as torn
}

TEST_F(SeenBeforeIndexTest, AFileThatCannotBeOpenedIsAnError) {
  std::string error;
  EXPECT_EQ(SeenBeforeIndex::Open(path_ + ".missing", &error), nullptr);
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace lx40::records
