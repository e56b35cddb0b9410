// The record reader: which lines are records and why the others are
// skipped, the splitter across buffer edges and over its cap, and the
// times of record lines.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "line_splitter.h"
#include "record_parser.h"
#include "record_reader.h"
#include "record_time.h"

namespace lx40::records {
namespace {

using Json = nlohmann::ordered_json;

// A record line as lx40 writes it today (every key of a record).
Json BaseRecord() {
  return Json::parse(R"({"serial":"A12345678","model":"LX40","version":"2.1","station":"st-1",
    "started":"2026-03-14T09:26:53.589Z","finished":"2026-03-14T09:27:34.089Z","battery":"ok",
    "slots_before":"0000000","slots_after":"0110000",
    "tables":[{"type":8010,"slot":1,"records":181,"crc":"0x1A2B","outcome":"written"},
              {"type":8011,"slot":2,"records":181,"crc":"0x3C4D","outcome":"present"}],
    "result":"set","code":0,"message":"Sensor data setup is complete."})");
}

// Parses `line` in place: the record's texts point into it.
LineVerdict Parse(std::string& line, RecordView* record) {
  return ParseRecordLine(line.data(), line.size(), record);
}

struct VerdictCase {
  const char* name;
  std::string line;
  LineVerdict verdict;
};

std::string Without(const char* key) {
  Json record = BaseRecord();
  record.erase(key);
  return record.dump();
}

std::string With(const char* key, Json value) {
  Json record = BaseRecord();
  record[key] = std::move(value);
  return record.dump();
}

std::string TableWith(const char* key, Json value) {
  Json record = BaseRecord();
  record["tables"][0][key] = std::move(value);
  return record.dump();
}

// More tables than the view keeps, the last one with `key` set to `value`.
std::string ManyTablesLastWith(const char* key, Json value) {
  Json record = BaseRecord();
  for (size_t i = 0; i < RecordView::kMaxTables; ++i)
    record["tables"].push_back(record["tables"][0]);
  record["tables"].back()[key] = std::move(value);
  return record.dump();
}

std::string TableWithout(const char* key) {
  Json record = BaseRecord();
  record["tables"][0].erase(key);
  return record.dump();
}

class LineVerdicts : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(LineVerdicts, EachLineGetsItsVerdict) {
  RecordView record;
  std::string line = GetParam().line;
  EXPECT_EQ(Parse(line, &record), GetParam().verdict) << GetParam().line;
}

const std::string kWhole = BaseRecord().dump();

INSTANTIATE_TEST_SUITE_P(
    Lines, LineVerdicts,
    ::testing::Values(
        VerdictCase{"today", kWhole, LineVerdict::kRecord},
        VerdictCase{"spaces_around", "  " + kWhole + " \t", LineVerdict::kRecord},
        VerdictCase{"later_keys",
                    With("port", "1-2.4").substr(0, With("port", "1-2.4").size() - 1) +
                        R"(,"bay":"3","operator":"ann","work_order":"WO-7","lot":null,)"
                        R"("meta":{"k":"v","n":1},"tool":"lx40 1.1.0","seen_before":true})",
                    LineVerdict::kRecord},
        VerdictCase{"table_sha256", TableWith("sha256", std::string(64, 'a')),
                    LineVerdict::kRecord},
        VerdictCase{"blank", "   ", LineVerdict::kBlank},
        VerdictCase{"empty", "", LineVerdict::kBlank},
        VerdictCase{"torn_in_a_string", kWhole.substr(0, 40), LineVerdict::kTorn},
        VerdictCase{"torn_in_the_tables", kWhole.substr(0, kWhole.find("written") + 3),
                    LineVerdict::kTorn},
        VerdictCase{"torn_before_the_brace", kWhole.substr(0, kWhole.size() - 1),
                    LineVerdict::kTorn},
        VerdictCase{"text", "Sensor data setup", LineVerdict::kNotJson},
        VerdictCase{"two_objects", kWhole + kWhole, LineVerdict::kNotJson},
        VerdictCase{"garbage_after", kWhole + " x", LineVerdict::kNotJson},
        VerdictCase{"nul_inside", kWhole.substr(0, 10) + std::string(1, '\0') + kWhole.substr(10),
                    LineVerdict::kNotJson},
        VerdictCase{"an_array", "[1,2,3]", LineVerdict::kNotRecord},
        VerdictCase{"a_number", "42", LineVerdict::kNotRecord},
        VerdictCase{"no_serial", Without("serial"), LineVerdict::kNotRecord},
        VerdictCase{"no_finished", Without("finished"), LineVerdict::kNotRecord},
        VerdictCase{"no_tables", Without("tables"), LineVerdict::kNotRecord},
        VerdictCase{"no_message", Without("message"), LineVerdict::kNotRecord},
        VerdictCase{"serial_a_number", With("serial", 12345678), LineVerdict::kNotRecord},
        VerdictCase{"code_a_fraction", With("code", 1.5), LineVerdict::kNotRecord},
        VerdictCase{"unknown_result", With("result", "maybe"), LineVerdict::kNotRecord},
        VerdictCase{"bad_time", With("started", "2026-02-30T09:00:00.000Z"),
                    LineVerdict::kNotRecord},
        VerdictCase{"time_without_zone", With("finished", "2026-03-14T09:27:34.089"),
                    LineVerdict::kNotRecord},
        VerdictCase{"tables_an_object", With("tables", Json::object()), LineVerdict::kNotRecord},
        VerdictCase{"table_without_crc", TableWithout("crc"), LineVerdict::kNotRecord},
        VerdictCase{"many_tables", ManyTablesLastWith("crc", "0x0001"), LineVerdict::kRecord},
        VerdictCase{"many_tables_last_type_a_text", ManyTablesLastWith("type", "8010"),
                    LineVerdict::kNotRecord},
        VerdictCase{"many_tables_last_crc_a_number", ManyTablesLastWith("crc", 7),
                    LineVerdict::kNotRecord},
        VerdictCase{"nested_meta", With("meta", Json::parse(R"({"a":{"b":1}})")),
                    LineVerdict::kNotRecord},
        VerdictCase{"deep_nesting", std::string(5000, '[') + std::string(5000, ']'),
                    LineVerdict::kNotRecord},
        VerdictCase{"newer_key", With("humidity", 40), LineVerdict::kUnknownKeys},
        VerdictCase{"newer_table_key", TableWith("signature", "x"), LineVerdict::kUnknownKeys}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(RecordParser, ReadsEveryFieldOfARecordAndNullsWhatOldRecordsLack) {
  RecordView record;
  std::string line = kWhole;
  ASSERT_EQ(Parse(line, &record), LineVerdict::kRecord);
  EXPECT_EQ(record.serial, "A12345678");
  EXPECT_EQ(record.station, "st-1");
  EXPECT_EQ(record.result, Result::kSet);
  EXPECT_EQ(record.finished_ms - record.started_ms, 40500);
  ASSERT_EQ(record.table_count, 2u);
  EXPECT_EQ(record.tables[1].type, 8011);
  EXPECT_EQ(record.tables[1].outcome, "present");
  EXPECT_FALSE(record.tables[0].sha256.has_value());
  EXPECT_FALSE(record.bay.has_value());
  EXPECT_FALSE(record.port.has_value());
  EXPECT_FALSE(record.operator_name.has_value());
  EXPECT_FALSE(record.seen_before);
}

TEST(RecordParser, DecodesEscapedDeviceTextAndKeepsLaterKeys) {
  Json json = BaseRecord();
  json["serial"] = std::string("A1\x01\xC3\xA9", 5);
  json["port"] = "1-2.4";
  json["bay"] = nullptr;
  json["work_order"] = "WO-7";
  json["seen_before"] = true;
  RecordView record;
  std::string line = json.dump(-1, ' ', true);
  ASSERT_EQ(Parse(line, &record), LineVerdict::kRecord);
  EXPECT_EQ(record.serial, std::string_view("A1\x01\xC3\xA9", 5));
  EXPECT_EQ(record.port, "1-2.4");
  EXPECT_FALSE(record.bay.has_value());  // null counts as absent
  EXPECT_EQ(record.work_order, "WO-7");
  EXPECT_TRUE(record.seen_before);
}

TEST(RecordTime, ReadsStoredTimesAndRefusesOthers) {
  struct Case {
    const char* text;
    std::optional<int64_t> ms;
  } cases[] = {
      {"1970-01-01T00:00:00.000Z", 0},
      {"1970-01-01T00:00:01Z", 1000},
      {"2000-02-29T12:00:00.5Z", (int64_t{951825600} * 1000) + 500},
      {"2026-03-14T09:26:53.589Z", int64_t{1773480413} * 1000 + 589},
      {"1969-12-31T23:59:59.999Z", -1},
      {"2001-02-29T00:00:00.000Z", std::nullopt},
      {"2026-13-01T00:00:00.000Z", std::nullopt},
      {"2026-03-14T24:00:00.000Z", std::nullopt},
      {"2026-03-14 09:26:53.589Z", std::nullopt},
      {"2026-03-14T09:26:53.Z", std::nullopt},
      {"2026-03-14T09:26:53.589", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseUtcTimestamp(c.text), c.ms) << c.text;
}

TEST(RecordTime, DaysAndCalendarAgreeBothWays) {
  for (int64_t days = -800000; days <= 800000; days += 997) {
    const CivilDate date = CivilFromDays(days);
    ASSERT_EQ(DaysFromCivil(date.year, date.month, date.day), days);
  }
}

// The lines the splitter gives for `bytes`, read `buffer` bytes at a time.
std::vector<std::string> Split(const std::string& bytes, size_t buffer, size_t max_line,
                               std::vector<uint64_t>* numbers = nullptr) {
  MemorySource source(bytes);
  LineSplitter splitter(source, buffer, max_line);
  std::vector<std::string> lines;
  std::string_view line;
  for (;;) {
    const LineSplitter::Kind kind = splitter.Next(&line);
    if (kind == LineSplitter::Kind::kEnd) break;
    lines.push_back(kind == LineSplitter::Kind::kTooLong ? "<too long>" : std::string(line));
    if (numbers != nullptr) numbers->push_back(splitter.LineNumber());
  }
  return lines;
}

TEST(LineSplitter, GivesTheSameLinesWhateverTheBufferSize) {
  const std::string bytes = "first\nsecond line\r\n\n" + std::string(50, 'x') + "\nlast";
  const std::vector<std::string> expected = {"first", "second line", "", std::string(50, 'x'),
                                             "last"};
  for (size_t buffer = 3; buffer <= 80; ++buffer) {
    if (buffer < 53) continue;  // the 50-byte line must fit under the cap
    EXPECT_EQ(Split(bytes, buffer, 51), expected) << "buffer " << buffer;
  }
  for (size_t buffer : {size_t{4096}, LineSplitter::kDefaultBufferSize}) {
    EXPECT_EQ(Split(bytes, buffer, 1000), expected);
  }
}

TEST(LineSplitter, SkipsLinesOverTheCapWholeAndCountsOnlyThose) {
  const std::string bytes = "ok\n" + std::string(1000, 'y') + "\nafter\n" + std::string(30, 'z');
  for (size_t buffer : {size_t{20}, size_t{21}, size_t{64}}) {
    std::vector<uint64_t> numbers;
    EXPECT_EQ(Split(bytes, buffer, 10, &numbers),
              (std::vector<std::string>{"ok", "<too long>", "after", "<too long>"}))
        << "buffer " << buffer;
    EXPECT_EQ(numbers, (std::vector<uint64_t>{1, 2, 3, 4}));
  }
  // A line of exactly the cap, with or without CR, is a line.
  EXPECT_EQ(Split("0123456789\r\n0123456789\n", 64, 10),
            (std::vector<std::string>{"0123456789", "0123456789"}));
  EXPECT_EQ(Split("0123456789A\n", 64, 10), (std::vector<std::string>{"<too long>"}));
}

// A source that has more bytes each time it is let go on.
class GrowingSource final : public ByteSource {
 public:
  void Append(const std::string& bytes) { pending_ += bytes; }
  size_t Read(char* into, size_t size) override {
    MemorySource part(pending_);
    const size_t got = part.Read(into, size);
    pending_.erase(0, got);
    return got;
  }

 private:
  std::string pending_;
};

TEST(LineSplitter, HoldsAnUnfinishedLastLineUntilItIsWhole) {
  GrowingSource source;
  LineSplitter splitter(source, 16, 12);
  splitter.HoldUnfinishedLine(true);
  std::string_view line;
  source.Append("one\ntw");
  ASSERT_EQ(splitter.Next(&line), LineSplitter::Kind::kLine);
  EXPECT_EQ(line, "one");
  EXPECT_EQ(splitter.Next(&line), LineSplitter::Kind::kEnd);
  source.Append("o\nthree");
  splitter.Resume();
  ASSERT_EQ(splitter.Next(&line), LineSplitter::Kind::kLine);
  EXPECT_EQ(line, "two");
  EXPECT_EQ(splitter.LineNumber(), 2u);
  EXPECT_EQ(splitter.Next(&line), LineSplitter::Kind::kEnd);
  // A line over the cap that comes in parts is skipped once it ends.
  source.Append(std::string(20, 'x'));
  splitter.Resume();
  EXPECT_EQ(splitter.Next(&line), LineSplitter::Kind::kEnd);
  source.Append("x\nfour\n");
  splitter.Resume();
  EXPECT_EQ(splitter.Next(&line), LineSplitter::Kind::kTooLong);
  ASSERT_EQ(splitter.Next(&line), LineSplitter::Kind::kLine);
  EXPECT_EQ(line, "four");
  EXPECT_EQ(splitter.LineNumber(), 4u);
}

TEST(RecordReader, CountsEachSkippedLineByItsReasonAndNamesTheFirstFew) {
  const std::string good = BaseRecord().dump();
  std::string file;
  const std::vector<std::string> lines = {good,
                                          "",
                                          "not json",
                                          good.substr(0, 30),
                                          Without("serial"),
                                          With("humidity", 1),
                                          good,
                                          "  ",
                                          "x",
                                          "y",
                                          "z",
                                          good};
  for (const std::string& line : lines) file += line + "\r\n";
  MemorySource source(file);
  SkipTally tally;
  std::vector<std::string> serials;
  ReadRecords(source, {}, &tally, [&](const RecordView& record, std::string_view) {
    serials.emplace_back(record.serial);
  });
  EXPECT_EQ(serials.size(), 3u);
  EXPECT_EQ(tally.Lines(), lines.size());
  EXPECT_EQ(tally.Records(), 3u);
  EXPECT_EQ(tally.Of(LineVerdict::kBlank), 2u);
  EXPECT_EQ(tally.Skipped(), 7u);
  EXPECT_EQ(tally.Of(LineVerdict::kNotJson), 4u);
  EXPECT_EQ(tally.Of(LineVerdict::kTorn), 1u);
  EXPECT_EQ(tally.Of(LineVerdict::kNotRecord), 1u);
  EXPECT_EQ(tally.Of(LineVerdict::kUnknownKeys), 1u);
  EXPECT_EQ(tally.FirstSkipped(), (std::vector<uint64_t>{3, 4, 5, 6, 9}));
  EXPECT_EQ(tally.Summary(),
            "7 lines skipped (1 torn, 4 not JSON, 1 missing or bad keys, 1 unknown keys), "
            "lines 3, 4, 5, 6, 9, ...");
}

TEST(RecordReader, KeepsTheLineAsStoredWhenAsked) {
  Json json = BaseRecord();
  json["message"] = "quote \" and \\u00e9";
  const std::string stored = json.dump(-1, ' ', true);
  const std::string file = stored + "\n";
  MemorySource source(file);
  SkipTally tally;
  ReadOptions options;
  options.keep_lines = true;
  std::vector<std::string> kept;
  ReadRecords(source, options, &tally,
              [&](const RecordView&, std::string_view line) { kept.emplace_back(line); });
  EXPECT_EQ(kept, std::vector<std::string>{stored});
}

TEST(RecordReader, AnEmptyFileHasNoLinesAndAMissingOneIsAnError) {
  MemorySource empty("");
  SkipTally tally;
  ReadRecords(empty, {}, &tally, [](const RecordView&, std::string_view) { FAIL(); });
  EXPECT_EQ(tally.Lines(), 0u);
  EXPECT_EQ(tally.Summary(), "");
  std::string error;
  EXPECT_FALSE(ReadRecordFile(
      "/nonexistent/records.jsonl", {}, &tally, [](const RecordView&, std::string_view) {},
      &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace lx40::records
