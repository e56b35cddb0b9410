// lx40 history, lx40 report and the seen-before warning of setup, end to
// end: the program reads record files written by hand and by its own
// setup runs.
#include "lx40_fixture.h"

namespace lx40test {
namespace {

using OrderedJson = nlohmann::ordered_json;

std::string RecordLine(const std::string& serial, const std::string& station,
                       const std::string& started, const std::string& result,
                       const std::string& message = "") {
  OrderedJson record;
  record["serial"] = serial;
  record["model"] = "LX40";
  record["version"] = "2.1";
  record["station"] = station;
  record["started"] = started;
  record["finished"] = started;  // a zero unit time is a time too
  record["battery"] = "ok";
  record["slots_before"] = nullptr;
  record["slots_after"] = nullptr;
  record["tables"] = OrderedJson::array();
  record["result"] = result;
  record["code"] = 0;
  record["message"] = message;
  return record.dump(-1, ' ', true) + "\n";
}

TEST_F(Lx40Test, HistoryListsASerialsRecordsAcrossFilesOldestFirst) {
  const std::string a =
      RecordLine("X1", "st1", "2026-03-14T10:00:00.000Z", "failed", "Battery low");
  const std::string b = RecordLine("X1", "st2", "2026-03-14T09:00:00.000Z", "set");
  const std::string c = RecordLine("X1", "st1", "2026-03-14T11:00:00.000Z", "already-set");
  WriteFile(Path("one.jsonl"), a + RecordLine("Y2", "st1", "2026-03-14T09:30:00.000Z", "set") +
                                   "torn {\"serial\":\n" + c);
  WriteFile(Path("two.jsonl"), b);
  const std::vector<std::string> files = {"--record", Path("one.jsonl"), "--record",
                                          Path("two.jsonl")};
  std::vector<std::string> args = {"history", "X1"};
  args.insert(args.end(), files.begin(), files.end());
  ASSERT_EQ(Run(args, {}), 0) << Err();
  const std::string out = Out();
  const size_t first = out.find("st2"), second = out.find("Battery low"),
               third = out.find("already-set");
  ASSERT_NE(first, std::string::npos) << out;
  ASSERT_NE(second, std::string::npos) << out;
  ASSERT_NE(third, std::string::npos) << out;
  EXPECT_LT(first, second);
  EXPECT_LT(second, third);
  EXPECT_EQ(out.find("Y2"), std::string::npos);
  EXPECT_NE(Err().find("1 line skipped (1 not JSON), line 3"), std::string::npos) << Err();

  args.push_back("--json");
  ASSERT_EQ(Run(args, {}, "json"), 0) << Err("json");
  EXPECT_EQ(Out("json"), b + a + c);

  EXPECT_EQ(Run({"history", "Z9", "--record", Path("one.jsonl")}, {}, "absent"), 3);
  EXPECT_EQ(Run({"history", "X1", "--record", Path("missing.jsonl")}, {}, "missing"), 2);
  EXPECT_NE(Err("missing").find("cannot be opened"), std::string::npos) << Err("missing");
}

TEST_F(Lx40Test, ReportEscapesDeviceTextOnTheTerminalAndKeepsItInJson) {
  const std::string station = "st\x1b[2J";
  WriteFile(Path("r.jsonl"),
            RecordLine("A1", station, "2026-03-14T09:00:00.000Z", "set") +
                RecordLine("A2", station, "2026-03-14T09:05:00.000Z", "failed", "No \x07 answer") +
                "\r\n");
  ASSERT_EQ(Run({"report", "--record", Path("r.jsonl"), "--by", "station"}, {}), 0) << Err();
  EXPECT_NE(Out().find("st\\x1B[2J"), std::string::npos) << Out();
  EXPECT_EQ(Out().find('\x1b'), std::string::npos);
  EXPECT_NE(Out().find("No \\x07 answer"), std::string::npos) << Out();
  EXPECT_EQ(Err(), "");  // a blank line is not counted

  ASSERT_EQ(Run({"report", "--record", Path("r.jsonl"), "--by", "station", "--json"}, {}, "json"),
            0);
  const Json report = Json::parse(Out("json"));
  ASSERT_EQ(report.at("groups").size(), 1u);
  EXPECT_EQ(report.at("groups")[0].at("group"), station);
  EXPECT_EQ(report.at("groups")[0].at("units"), 2);
  EXPECT_EQ(report.at("groups")[0].at("failed"), 1);
  EXPECT_EQ(report.at("failures")[0].at("message"), "No \x07 answer");
  EXPECT_NE(Out("json").find("\\u001b"), std::string::npos);
}

TEST_F(Lx40Test, ReportRefusesMissingFilesAndBadTimes) {
  WriteFile(Path("r.jsonl"), RecordLine("A1", "st1", "2026-03-14T09:00:00.000Z", "set"));
  struct Case {
    std::vector<std::string> args;
    int status;
  } cases[] = {
      {{"report", "--record", Path("r.jsonl"), "--record", Path("none.jsonl")}, 2},
      {{"report", "--record", Path("r.jsonl"), "--since", "14 March"}, 2},
      {{"report", "--record", Path("r.jsonl"), "--by", "colour"}, 2},
      {{"report", "--record", Path("r.jsonl"), "--json", "--csv"}, 2},
      {{"report"}, 2},
      {{"report", "--record", Path("r.jsonl"), "--since", "2026-03-14T09:00:00Z"}, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.args, {}), c.status) << c.args.back() << ": " << Err();
    if (c.status == 2) {
      EXPECT_EQ(Out(), "") << c.args.back();
    }
  }
}

// --since is inclusive and --until exclusive, to the millisecond, through
// the program: in UTC, and in local time (the zone from TZ, POSIX only).
TEST_F(Lx40Test, ReportSinceAndUntilCountRecordsAtTheirEdges) {
  std::string text;
  for (const char* started : {"2026-03-14T08:59:59.999Z", "2026-03-14T09:00:00.000Z",
                              "2026-03-14T10:59:59.999Z", "2026-03-14T11:00:00.000Z"}) {
    text += RecordLine(std::string("U") + started, "st1", started, "set");
  }
  WriteFile(Path("r.jsonl"), text);
  struct Case {
    std::vector<std::string> times;
    std::map<std::string, std::string> env;
    int units;
  };
  std::vector<Case> cases = {
      {{"--since", "2026-03-14 09:00", "--until", "2026-03-14 11:00", "--utc"}, {}, 2},
      {{"--since", "2026-03-14T09:00:00Z", "--until", "2026-03-14T11:00:00Z"}, {}, 2},
      {{"--since", "2026-03-14T08:59:59.999Z"}, {}, 4},
      {{"--since", "2026-03-14T09:00:00.001Z"}, {}, 2},
      {{"--until", "2026-03-14T09:00:00Z"}, {}, 1},
      {{"--until", "2026-03-14T11:00:00.001Z"}, {}, 4},
      {{"--since", "2026-03-14T11:00:00.001Z"}, {}, 0},
  };
  if (!UnderWine()) {
    // 18:00 in Tokyo (UTC+9, no summer time) is 09:00 UTC.
    cases.push_back({{"--since", "2026-03-14 18:00", "--until", "2026-03-14 20:00"},
                     {{"TZ", "Asia/Tokyo"}},
                     2});
    cases.push_back({{"--since", "2026-03-14 18:00:00", "--until", "2026-03-14 19:59:59"},
                     {{"TZ", "Asia/Tokyo"}},
                     1});
  }
  for (const Case& c : cases) {
    std::vector<std::string> args = {"report", "--record", Path("r.jsonl"), "--json"};
    args.insert(args.end(), c.times.begin(), c.times.end());
    ASSERT_EQ(Run(args, c.env), 0) << Err();
    const Json report = Json::parse(Out());
    EXPECT_EQ(report.at("total").at("units"), c.units) << c.times[1];
  }
}

// A record file with nothing in it is a report of nothing, not a fault;
// history finds no serial in it.
TEST_F(Lx40Test, AnEmptyRecordFileReportsNoUnits) {
  WriteFile(Path("empty.jsonl"), "");
  WriteFile(Path("blank.jsonl"), "\n\r\n  \n");
  for (const char* name : {"empty.jsonl", "blank.jsonl"}) {
    ASSERT_EQ(Run({"report", "--record", Path(name), "--json"}, {}), 0) << Err();
    const Json report = Json::parse(Out());
    EXPECT_EQ(report.at("records"), 0) << name;
    EXPECT_EQ(report.at("skipped_lines"), 0) << name;
    EXPECT_EQ(report.at("total").at("units"), 0) << name;
    EXPECT_EQ(Err(), "") << name;
    ASSERT_EQ(Run({"report", "--record", Path(name)}, {}, "text"), 0) << Err("text");
    EXPECT_NE(Out("text").find("0 records"), std::string::npos) << Out("text");
    EXPECT_EQ(Run({"history", "A1", "--record", Path(name)}, {}, "history"), 3) << name;
  }
}

TEST_F(Lx40Test, SetupWarnsAboutAMeterItsRecordFileHoldsASetLineFor) {
  const std::string record = Path("record.jsonl");
  // Each run gets fresh simulated meters: M1 is set a second time, the
  // process fault the warning is for.
  const auto env = Environment("[meter]\nserial = M1\n[meter]\nserial = M2\n");
  ASSERT_EQ(Run({"setup", "M1", "--record", record}, env, "first"), 0) << Err("first");
  EXPECT_EQ(Err("first").find("set before"), std::string::npos) << Err("first");
  ASSERT_EQ(Run({"setup", "--record", record}, env, "second"), 0) << Err("second");
  EXPECT_NE(Err("second").find("M1: set before"), std::string::npos) << Err("second");
  EXPECT_EQ(Err("second").find("M2: set before"), std::string::npos) << Err("second");

  const std::string text = ReadFile(record);
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    lines.push_back(text.substr(at, end - at));
  }
  ASSERT_EQ(lines.size(), 3u);
  int seen = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const OrderedJson json = OrderedJson::parse(line);
    const bool marked = json.contains("seen_before");
    // Only the second run's line of M1, and then as the line's last key.
    EXPECT_EQ(marked, i > 0 && json.at("serial") == "M1") << line;
    if (marked) {
      ++seen;
      EXPECT_EQ(json.at("seen_before"), true);
      EXPECT_EQ(std::prev(json.end()).key(), "seen_before") << line;
    }
  }
  EXPECT_EQ(seen, 1);
  // The report's duplicates name M1, set twice.
  ASSERT_EQ(Run({"report", "--record", record, "--duplicates", "--json"}, {}, "report"), 0);
  const Json report = Json::parse(Out("report"));
  ASSERT_EQ(report.at("duplicates").size(), 1u);
  EXPECT_EQ(report.at("duplicates")[0].at("serial"), "M1");
  EXPECT_EQ(report.at("duplicates")[0].at("sets").size(), 2u);
  EXPECT_EQ(report.at("total").at("set"), 3);
}

}  // namespace
}  // namespace lx40test
