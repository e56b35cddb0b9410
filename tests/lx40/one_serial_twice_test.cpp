// Two meters that answer with one serial number: setup sets up and records
// both, each with its port, and warns; list shows the ports; info and
// measure refuse the serial as ambiguous, naming the ports, and --port
// chooses one.
#include "lx40_fixture.h"

namespace lx40test {
namespace {

constexpr char kTwins[] = R"(
[meter]
serial = TWIN00001
[meter]
serial = A12345678
slots = 0100000
[meter]
serial = TWIN00001
slots = 0001000
)";

TEST_F(Lx40Test, SetupSetsUpAndRecordsBothMetersOfOneSerial) {
  const auto env = Environment(kTwins);
  const std::string record = Path("record.jsonl");
  // One job at a time and all at once: neither may take one meter for the
  // other.
  for (const char* jobs : {"1", "3"}) {
    SCOPED_TRACE(jobs);
    std::filesystem::remove(record);
    ASSERT_EQ(Run({"setup", "--jobs", jobs, "--record", record}, env), 0) << Err();
    EXPECT_NE(Err().find("TWIN00001 appears twice (ports 1-1, 1-3)"), std::string::npos) << Err();
    const std::vector<Json> records = JsonLines(ReadFile(record));
    ASSERT_EQ(records.size(), 3u);
    std::map<std::string, Json> byPort;
    for (const Json& unit : records) byPort[unit.at("port").get<std::string>()] = unit;
    ASSERT_EQ(byPort.size(), 3u) << ReadFile(record);
    EXPECT_EQ(byPort["1-1"].at("serial"), "TWIN00001");
    EXPECT_EQ(byPort["1-3"].at("serial"), "TWIN00001");
    EXPECT_EQ(byPort["1-2"].at("serial"), "A12345678");
    // The twins had different slots: each record is its own meter's (every
    // run starts from the meter file).
    EXPECT_EQ(byPort["1-1"].at("slots_before"), "0000000");
    EXPECT_EQ(byPort["1-3"].at("slots_before"), "0001000");
    EXPECT_EQ(byPort["1-3"].at("slots_after"), "0101000");
    // "port" follows the identity keys; the keys before it keep their order.
    const std::string line = ReadFile(record).substr(0, ReadFile(record).find('\n'));
    const size_t version = line.find("\"version\":");
    const size_t port = line.find("\"port\":");
    const size_t station = line.find("\"station\":");
    EXPECT_EQ(line.find("{\"serial\":"), 0u) << line;
    EXPECT_LT(line.find("\"model\":"), version) << line;
    EXPECT_LT(version, port) << line;
    EXPECT_LT(port, station) << line;
  }
  // Both twins hold the table (the state of the last run).
  const Json state = State();
  int twins = 0;
  for (const Json& meter : state.at("meters")) {
    if (meter.at("serial") != "TWIN00001") continue;
    ++twins;
    EXPECT_EQ(StoredHex(meter, 1), HexOf(BuiltInTable(8010)));
  }
  EXPECT_EQ(twins, 2);
  EXPECT_EQ(state.at("open_handles"), 0);
}

TEST_F(Lx40Test, ListShowsThePortOfEachMeterAndWarnsOfASharedSerial) {
  const auto env = Environment(kTwins);
  ASSERT_EQ(Run({"list", "--json"}, env), 0) << Err();
  const std::vector<Json> lines = JsonLines(Out());
  ASSERT_EQ(lines.size(), 3u);
  const char* ports[] = {"1-1", "1-2", "1-3"};
  const char* slots[] = {"0000000", "0100000", "0001000"};
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].at("port"), ports[i]);
    EXPECT_EQ(lines[i].at("slots"), slots[i]);  // each asked where it is
  }
  EXPECT_NE(Err().find("TWIN00001 appears twice (ports 1-1, 1-3)"), std::string::npos) << Err();

  ASSERT_EQ(Run({"list"}, env, "text"), 0);
  EXPECT_NE(Out("text").find("PORT"), std::string::npos) << Out("text");
  EXPECT_NE(Out("text").find("1-3"), std::string::npos) << Out("text");
}

TEST_F(Lx40Test, InfoAndMeasureRefuseASharedSerialAndTakeAPort) {
  const auto env = Environment(kTwins);
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;  // a part of stderr
  };
  const std::vector<Case> cases = {
      {{"info", "TWIN00001", "--json"}, 2, "ambiguous"},
      {{"measure", "TWIN00001", "--count", "1"}, 2, "ambiguous"},
      {{"info", "TWIN00001", "--port", "1-9", "--json"}, 3, "port 1-9"},
      {{"info", "A12345678", "--port", "1-3", "--json"}, 3, "has serial number TWIN00001"},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.args[0] + " " + std::to_string(i));
    const std::string name = "case" + std::to_string(i);
    EXPECT_EQ(Run(c.args, env, name), c.status) << Err(name);
    EXPECT_NE(Err(name).find(c.err), std::string::npos) << Err(name);
    EXPECT_TRUE(Out(name).empty()) << Out(name);
  }
  EXPECT_NE(Err("case0").find("ports 1-1, 1-3"), std::string::npos) << Err("case0");

  ASSERT_EQ(Run({"info", "TWIN00001", "--port", "1-3", "--json"}, env, "chosen"), 0)
      << Err("chosen");
  const std::vector<Json> info = JsonLines(Out("chosen"));
  ASSERT_EQ(info.size(), 1u);
  EXPECT_EQ(info[0].at("slots"), "0001000");  // the meter at 1-3, not the one at 1-1
  ASSERT_EQ(
      Run({"measure", "TWIN00001", "--port", "1-1", "--count", "1", "--interval", "0", "--json"},
          env, "measured"),
      0)
      << Err("measured");
  EXPECT_EQ(JsonLines(Out("measured")).size(), 1u);
  // A serial only one meter has needs no port.
  EXPECT_EQ(Run({"info", "A12345678", "--json"}, env, "single"), 0) << Err("single");
}

}  // namespace
}  // namespace lx40test
