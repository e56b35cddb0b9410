// lx40 setup end to end: meters in every state at once, the record of each,
// what each meter stored, and the checks made before any meter is touched.
#include <unistd.h>

#include <cctype>
#include <algorithm>
#include <regex>
#include <sstream>

#include "lx40_fixture.h"

namespace lx40test {
namespace {

// The last two bytes of a table are its CRC, as the record writes it.
std::string CrcOf(const std::string& table) { return HexOf(table.substr(table.size() - 2)); }

// The computer's name as the program reports it (Windows: upper case).
std::string Hostname() {
  char name[256] = {};
  gethostname(name, sizeof name - 1);
  std::string text = name;
  if (UnderWine()) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return text;
}

// CRC-16/CCITT-FALSE, to make well-formed tables with other fields.
uint16_t Crc16(const std::string& bytes) {
  uint16_t crc = 0xFFFF;
  for (const unsigned char byte : bytes) {
    crc = static_cast<uint16_t>(crc ^ (byte << 8));
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
  }
  return crc;
}

std::string WithCrc(std::string table) {
  table.resize(table.size() - 2);
  const uint16_t crc = Crc16(table);
  table.push_back(static_cast<char>(crc >> 8));
  table.push_back(static_cast<char>(crc & 0xFF));
  return table;
}

struct UnitExpectation {
  std::string serial;
  std::string result;
  int code;
  std::string message;
  std::vector<std::string> outcomes;  // table 8010, table 8011
  Json slots_before;
  Json slots_after;
  bool stores_8010;  // the meter holds table 8010 in slot 1 afterwards
  bool stores_8011;
  bool plugged;
};

constexpr char kSevenMeters[] = R"(
[meter]
serial = E00000001
[meter]
serial = P00000002
slots = 0100000
[meter]
serial = F00000003
slots = 0101000
[meter]
serial = L00000004
battery = low
[meter]
serial = S00000005
silent_from = 60
[meter]
serial = U00000006
unplug_at = 60
[meter]
serial = N00000007
nak_trailer
)";

const std::vector<UnitExpectation>& SevenMeterExpectations() {
  static const std::vector<UnitExpectation> expectations = {
      {"E00000001",
       "set",
       1,
       "Data setup is complete.",
       {"written", "written"},
       "0000000",
       "0101000",
       true,
       true,
       true},
      {"P00000002",
       "set",
       1,
       "Data setup is complete.",
       {"present", "written"},
       "0100000",
       "0101000",
       false,
       true,
       true},
      {"F00000003",
       "already-set",
       1,
       "This device already has data.",
       {"present", "present"},
       "0101000",
       "0101000",
       false,
       false,
       true},
      {"L00000004",
       "failed",
       -5,
       "There is no battery. Replace the battery.",
       {"not-run", "not-run"},
       nullptr,
       nullptr,
       false,
       false,
       true},
      {"S00000005",
       "failed",
       -30,
       "Signal error. Check the USB connection.",
       {"failed", "not-run"},
       "0000000",
       nullptr,
       false,
       false,
       true},
      {"U00000006",
       "failed",
       -2,
       "Signal error. Check the USB connection.",
       {"failed", "not-run"},
       "0000000",
       nullptr,
       false,
       false,
       false},
  };
  return expectations;
}

TEST_F(Lx40Test, SetupOfMetersInEveryStateRecordsAndStoresWhatEachOneGot) {
  const auto env = Environment(kSevenMeters);
  const std::string record = Path("record.jsonl");
  const int status = Run({"setup", "--record", record, "--json"}, env);
  EXPECT_EQ(status, 1) << Err();

  const std::vector<Json> records = JsonLines(ReadFile(record));
  ASSERT_EQ(records.size(), 7u) << ReadFile(record);
  // --json prints exactly the record lines on stdout.
  const std::vector<Json> printed = JsonLines(Out());
  ASSERT_EQ(printed.size(), 7u) << Out();
  for (const Json& line : printed) {
    const Json* same = BySerial(records, line.at("serial"));
    ASSERT_NE(same, nullptr);
    EXPECT_EQ(*same, line);
  }

  const std::string table0 = BuiltInTable(8010);
  const std::string table1 = BuiltInTable(8011);
  const std::regex timestamp(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
  const Json state = State();
  EXPECT_EQ(state.at("open_handles"), 0);
  for (const UnitExpectation& want : SevenMeterExpectations()) {
    SCOPED_TRACE(want.serial);
    const Json* unit = BySerial(records, want.serial);
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->at("model"), "LX40");
    EXPECT_EQ(unit->at("version"), "1.00");
    EXPECT_EQ(unit->at("station"), Hostname());
    EXPECT_TRUE(std::regex_match(unit->at("started").get<std::string>(), timestamp));
    EXPECT_TRUE(std::regex_match(unit->at("finished").get<std::string>(), timestamp));
    EXPECT_LE(unit->at("started").get<std::string>(), unit->at("finished").get<std::string>());
    EXPECT_EQ(unit->at("battery"), want.serial == "L00000004" ? "low" : "ok");
    EXPECT_EQ(unit->at("slots_before"), want.slots_before);
    EXPECT_EQ(unit->at("slots_after"), want.slots_after);
    EXPECT_EQ(unit->at("result"), want.result);
    EXPECT_EQ(unit->at("code"), want.code);
    EXPECT_EQ(unit->at("message"), want.message);
    const Json& tables = unit->at("tables");
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0].value("sha256", "").size(), 64u);
    EXPECT_NE(tables[0].value("sha256", ""), tables[1].value("sha256", ""));
    EXPECT_EQ(tables[0], Json({{"type", 8010},
                               {"slot", 1},
                               {"records", 781},
                               {"crc", CrcOf(table0)},
                               {"outcome", want.outcomes[0]},
                               {"source", "built-in"},
                               {"sha256", tables[0].value("sha256", "")}}));
    EXPECT_EQ(tables[1], Json({{"type", 8011},
                               {"slot", 3},
                               {"records", 71},
                               {"crc", CrcOf(table1)},
                               {"outcome", want.outcomes[1]},
                               {"source", "built-in"},
                               {"sha256", tables[1].value("sha256", "")}}));

    const Json& meter = MeterState(state, want.serial);
    EXPECT_EQ(meter.at("plugged"), want.plugged);
    EXPECT_EQ(StoredHex(meter, 1), want.stores_8010 ? HexOf(table0) : "");
    EXPECT_EQ(StoredHex(meter, 3), want.stores_8011 ? HexOf(table1) : "");
    if (want.result == "failed") {
      EXPECT_NE(Err().find(want.serial + ": " + want.message), std::string::npos) << Err();
    }
  }
  // The silent and the unplugged meter were left mid-table and must be
  // plugged in again; no other meter is named.
  const std::string err = Err();
  const size_t replug = err.find("plug them in again before their next use: ");
  ASSERT_NE(replug, std::string::npos) << err;
  const std::string named = err.substr(replug, err.find('\n', replug) - replug);
  EXPECT_NE(named.find("S00000005"), std::string::npos) << named;
  EXPECT_NE(named.find("U00000006"), std::string::npos) << named;
  EXPECT_EQ(named.find("E00000001"), std::string::npos) << named;
  EXPECT_EQ(named.find("N00000007"), std::string::npos) << named;
}

TEST_F(Lx40Test, SetupOfGoodMetersExitsZeroAndAppendsToTheRecord) {
  const auto env = Environment("[meter]\nserial = E1\n[meter]\nserial = F2\nslots = 0101000\n");
  const std::string record = Path("record.jsonl");
  WriteFile(record, "{\"earlier\":\"line\"}\n");
  ASSERT_EQ(Run({"setup", "--record", record}, env), 0) << Err();
  const std::vector<Json> lines = JsonLines(ReadFile(record));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].at("earlier"), "line");
  EXPECT_EQ(BySerial(lines, "E1")->at("result"), "set");
  EXPECT_EQ(BySerial(lines, "F2")->at("result"), "already-set");
  // Without --json the human text is on stdout and the summary says it all.
  EXPECT_NE(Out().find("2 meter(s): 1 set, 1 already set, 0 failed, 0 cancelled"),
            std::string::npos)
      << Out();
  EXPECT_EQ(Err(), "");
}

TEST_F(Lx40Test, JobsLimitsHowManyMetersAreWorkedOnAtOnce) {
  std::string meters;
  for (int i = 1; i <= 5; ++i) meters += "[meter]\nserial = M" + std::to_string(i) + "\n";
  const auto env = Environment(meters, 20);
  ASSERT_EQ(Run({"setup", "--jobs", "2"}, env), 0) << Err();
  // The plain progress lines come in the order things happen: a meter is
  // busy from its "opening" line to its final state.
  int busy = 0;
  int most = 0;
  int done = 0;
  std::istringstream lines(Out());
  for (std::string line; std::getline(lines, line);) {
    if (line.find(": opening") != std::string::npos) most = std::max(most, ++busy);
    if (line.find(": set (8010, 8011 written)") != std::string::npos) {
      --busy;
      ++done;
    }
  }
  EXPECT_EQ(most, 2) << Out();
  EXPECT_EQ(done, 5) << Out();
}

TEST_F(Lx40Test, SetupOfNamedMetersLeavesTheOthersAlone) {
  const auto env = Environment("[meter]\nserial = A1\n[meter]\nserial = B2\n");
  ASSERT_EQ(Run({"setup", "B2", "--json"}, env), 0) << Err();
  const std::vector<Json> lines = JsonLines(Out());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].at("serial"), "B2");
  const Json state = State();
  EXPECT_EQ(MeterState(state, "A1").at("slots"), "0000000");
  EXPECT_EQ(MeterState(state, "B2").at("slots"), "0101000");
}

TEST_F(Lx40Test, SetupWithTableFilesWritesThoseTables) {
  const std::string table1 = BuiltInTable(8011);
  WriteFile(Path("8011.bin"), table1);
  const auto env = Environment("[meter]\nserial = A1\n");
  ASSERT_EQ(Run({"setup", "--table", Path("8011.bin"), "--json"}, env), 0) << Err();
  const std::vector<Json> lines = JsonLines(Out());
  ASSERT_EQ(lines.size(), 1u);
  ASSERT_EQ(lines[0].at("tables").size(), 1u);
  EXPECT_EQ(lines[0].at("tables")[0].at("type"), 8011);
  const Json state = State();
  const Json& meter = MeterState(state, "A1");
  EXPECT_EQ(StoredHex(meter, 3), HexOf(table1));
  EXPECT_EQ(StoredHex(meter, 1), "");
}

// Inputs refused before any meter is touched: exit 2 and the simulated bus
// is never even looked at (the simulator writes no state file).
struct RefusedInput {
  std::string name;
  std::string table_bytes;  // written to bad.bin and passed with --table, if not empty
  std::string record;       // --record, if not empty
  std::string error_text;
};

TEST_F(Lx40Test, BadInputsStopTheSetupBeforeAnyMeterIsTouched) {
  const std::string table0 = BuiltInTable(8010);
  std::string bad_crc = table0;
  bad_crc[100] = static_cast<char>(bad_crc[100] ^ 0x01);
  std::string slot7 = table0;
  slot7[5] = 7;
  std::string short_table = table0.substr(0, table0.size() - 6);
  const std::vector<RefusedInput> cases = {
      {"wrong CRC", bad_crc, "", "CRC"},
      {"slot 7", WithCrc(slot7), "", "slot"},
      {"cut short", short_table, "", "size"},
      {"empty file", std::string(), "", "size"},
      {"record file in a missing folder", "", Path("missing/record.jsonl"),
       "record file " + ProgramPath(Path("missing/record.jsonl")) + " cannot be opened"},
  };
  for (const RefusedInput& input : cases) {
    SCOPED_TRACE(input.name);
    std::filesystem::remove(Path("state.json"));
    const auto env = Environment("[meter]\nserial = A1\n");
    std::vector<std::string> args{"setup"};
    if (!input.table_bytes.empty() || input.record.empty()) {
      WriteFile(Path("bad.bin"), input.table_bytes);
      args.insert(args.end(), {"--table", Path("bad.bin")});
    }
    if (!input.record.empty()) args.insert(args.end(), {"--record", input.record});
    EXPECT_EQ(Run(args, env), 2) << Err();
    EXPECT_NE(Err().find(input.error_text), std::string::npos) << Err();
    EXPECT_FALSE(FileExists(Path("state.json"))) << "a meter was touched";
  }
}

TEST_F(Lx40Test, TwoTablesForOneSlotAreRefused) {
  WriteFile(Path("a.bin"), BuiltInTable(8010));
  WriteFile(Path("b.bin"), BuiltInTable(8010));
  const auto env = Environment("[meter]\nserial = A1\n");
  EXPECT_EQ(Run({"setup", "--table", Path("a.bin"), "--table", Path("b.bin")}, env), 2);
  EXPECT_NE(Err().find("slot 1"), std::string::npos) << Err();
  EXPECT_FALSE(FileExists(Path("state.json")));
}

TEST_F(Lx40Test, AMalformedSettleTimeIsRefusedBeforeAnyMeterIsTouched) {
  auto env = Environment("[meter]\nserial = A1\n");
  env["LX40_SETTLE_MS"] = "3s";
  EXPECT_EQ(Run({"setup"}, env), 2);
  EXPECT_NE(Err().find("LX40_SETTLE_MS"), std::string::npos) << Err();
  EXPECT_FALSE(FileExists(Path("state.json")));
}

TEST_F(Lx40Test, NoMeterOrAMissingNamedMeterExitsThree) {
  auto env = Environment("# no meters\n");
  EXPECT_EQ(Run({"setup"}, env), 3);
  EXPECT_NE(Err().find("no meter found"), std::string::npos) << Err();
  EXPECT_EQ(Run({"list"}, env), 3);

  env = Environment("[meter]\nserial = A1\n");
  EXPECT_EQ(Run({"setup", "A1", "Z9"}, env), 3);
  EXPECT_NE(Err().find("Z9: "), std::string::npos) << Err();
  EXPECT_EQ(MeterState(State(), "A1").at("slots"), "0000000");
}

}  // namespace
}  // namespace lx40test

namespace lx40test {

TEST_F(Lx40Test, TraceabilityGoesIntoEveryRecordLine) {
  const auto env = Environment("[meter]\nserial = E1\n[meter]\nserial = F2\n");
  WriteFile(Path("t.bin"), BuiltInTable(8011));
  ASSERT_EQ(Run({"setup", "--json", "--table", Path("t.bin"), "--operator", "Ann Lee", "--lot",
                 "L-7", "--meta", "line=3", "--meta", "shift=night"},
                env),
            0)
      << Err();
  const std::vector<Json> lines = JsonLines(Out());
  ASSERT_EQ(lines.size(), 2u);
  for (const Json& line : lines) {
    EXPECT_EQ(line.at("operator"), "Ann Lee");
    EXPECT_TRUE(line.at("work_order").is_null());
    EXPECT_EQ(line.at("lot"), "L-7");
    EXPECT_EQ(line.at("meta"), Json({{"line", "3"}, {"shift", "night"}}));
    EXPECT_TRUE(line.at("bay").is_null());
    EXPECT_EQ(line.at("tool"), std::string("lx40 ") + LX40_PROJECT_VERSION);
    EXPECT_EQ(line.at("tables")[0].at("source"), "t.bin");
    EXPECT_EQ(line.at("tables")[0].at("sha256").get<std::string>().size(), 64u);
  }
}

TEST_F(Lx40Test, BadTraceabilityIsAUsageErrorBeforeAnyMeterIsTouched) {
  const std::vector<std::vector<std::string>> cases = {
      {"--operator", ""},         {"--operator", std::string(65, 'o')},
      {"--work-order", "WO\x01"}, {"--lot", "L\xC3\xA9"},
      {"--meta", "novalue"},      {"--meta", "a=1", "--meta", "a=2"},
  };
  for (const std::vector<std::string>& options : cases) {
    SCOPED_TRACE(options[0] + " " + options[1]);
    std::filesystem::remove(Path("state.json"));
    const auto env = Environment("[meter]\nserial = A1\n");
    std::vector<std::string> args{"setup"};
    args.insert(args.end(), options.begin(), options.end());
    EXPECT_EQ(Run(args, env), 2) << Err();
    EXPECT_NE(Err().find(options[0]), std::string::npos) << Err();
    EXPECT_FALSE(FileExists(Path("state.json"))) << "a meter was touched";
  }
}

}  // namespace lx40test
