// lx40 station in a process of its own on a simulated line (meters queued
// at each port, each pulled out once lx40 stops talking to it): every unit
// recorded once at its bay and port, only events on stdout with --json, a
// meter in a port that is not a bay never touched, and bad bays files
// refused before any meter is.
#include <set>
#include <string>
#include <vector>

#include "lx40_fixture.h"

namespace lx40test {
namespace {

// `units` meters queued at each of ports 1 to `bays`, plus one at port 4
// that is no bay; the first of port 2 has a low battery.
std::string LineFile(int bays, int units) {
  std::string text;
  for (int port = 1; port <= bays; ++port) {
    for (int unit = 0; unit < units; ++unit) {
      text += "[meter]\nserial = L" + std::to_string(port) + std::to_string(unit) +
              "\nport = " + std::to_string(port) + "\npull_after_ms = 300\nplug_after_ms = 100\n";
      if (port == 2 && unit == 0) text += "battery = low\n";
    }
  }
  text += "[meter]\nserial = OFFBAY\nport = 4\n";
  return text;
}

TEST_F(Lx40Test, StationSetsUpALineUnitByUnitAndRecordsEachAtItsBay) {
  constexpr int kBays = 3;
  constexpr int kUnits = 2;
  const auto env = Environment(LineFile(kBays, kUnits), 50);
  WriteFile(Path("bays.txt"), "# the line\nB1 1-1\nB2 1-2\nB3 1-3\n");
  const std::string record = Path("record.jsonl");
  const int status = Run({"station", "--bays", Path("bays.txt"), "--json", "--max-units",
                          std::to_string(kBays * kUnits), "--record", record, "--operator", "ann",
                          "--lot", "L7", "--meta", "line=3"},
                         env);
  // The low battery failed: exit status 1, as setup gives.
  EXPECT_EQ(status, 1) << Err();

  const std::vector<Json> lines = JsonLines(ReadFile(record));
  ASSERT_EQ(lines.size(), static_cast<size_t>(kBays * kUnits)) << ReadFile(record);
  for (int port = 1; port <= kBays; ++port) {
    for (int unit = 0; unit < kUnits; ++unit) {
      const std::string serial = "L" + std::to_string(port) + std::to_string(unit);
      const Json* line = BySerial(lines, serial);
      ASSERT_NE(line, nullptr) << serial;
      EXPECT_EQ(line->at("port"), "1-" + std::to_string(port)) << serial;
      EXPECT_EQ(line->at("bay"), "B" + std::to_string(port)) << serial;
      EXPECT_EQ(line->at("operator"), "ann") << serial;
      EXPECT_EQ(line->at("lot"), "L7") << serial;
      EXPECT_TRUE(line->at("work_order").is_null()) << serial;
      EXPECT_EQ(line->at("meta").at("line"), "3") << serial;
      EXPECT_EQ(line->at("result"), port == 2 && unit == 0 ? "failed" : "set") << serial;
    }
  }

  // stdout: events and nothing else, each with the common keys.
  const std::set<std::string> names = {"arrived", "started", "progress", "done",
                                       "removed", "ignored", "stopped"};
  const std::vector<Json> events = JsonLines(Out());
  ASSERT_FALSE(events.empty());
  int done = 0, ignored_off_bay = 0;
  for (const Json& event : events) {
    EXPECT_TRUE(names.count(event.at("event").get<std::string>())) << event.dump();
    for (const char* key : {"time", "bay", "port", "serial"}) {
      EXPECT_TRUE(event.contains(key)) << key << " in " << event.dump();
    }
    if (event.at("event") == "done") {
      ++done;
      EXPECT_EQ(event.at("bay"), "B" + event.at("port").get<std::string>().substr(2));
      EXPECT_EQ(event.at("record").at("serial"), event.at("serial"));
    }
    if (event.at("event") == "ignored" && event.at("port") == "1-4") ++ignored_off_bay;
  }
  EXPECT_EQ(done, kBays * kUnits);
  EXPECT_EQ(ignored_off_bay, 1);
  EXPECT_EQ(events.back().at("event"), "stopped");

  // The simulator: each meter set holds both tables; the low battery and the
  // meter off the bays hold nothing.
  const Json state = State();
  for (int port = 1; port <= kBays; ++port) {
    for (int unit = 0; unit < kUnits; ++unit) {
      const std::string serial = "L" + std::to_string(port) + std::to_string(unit);
      const bool set = !(port == 2 && unit == 0);
      EXPECT_EQ(StoredHex(MeterState(state, serial), 1).empty(), !set) << serial;
      EXPECT_EQ(StoredHex(MeterState(state, serial), 3).empty(), !set) << serial;
    }
  }
  EXPECT_EQ(StoredHex(MeterState(state, "OFFBAY"), 1), "");
}

// SIGTERM (a service manager stopping the station) and SIGHUP stop it at
// once, as a second Ctrl+C: the unit in progress is recorded cancelled and
// the station ends.
TEST_F(Lx40Test, StationStopsAtOnceWhenAskedToEnd) {
  if (UnderWine()) GTEST_SKIP() << "POSIX signals";
  for (const int signal_number : {SIGTERM, SIGHUP}) {
    const std::string name = signal_number == SIGTERM ? "term" : "hup";
    const std::string record = Path(name + ".jsonl");
    // A slow meter (a unit takes many seconds) and one already set.
    const auto env = Environment(
        "[meter]\nserial = SLOW1\nlatency_us = 20000\n[meter]\nserial = DONE1\nslots = 0101000\n",
        0);
    auto station = Start({"station", "--json", "--record", record}, env, name);
    // DONE1 done, SLOW1 under way.
    ASSERT_TRUE(station->WaitForOutput("\"already-set\"", std::chrono::seconds(60))) << Out(name);
    ASSERT_TRUE(station->WaitForOutput("\"progress\"", std::chrono::seconds(60))) << Out(name);
    station->Signal(signal_number);
    const int status = station->Wait(std::chrono::seconds(60));
    EXPECT_NE(status, -1) << name << ": still running a minute after the signal\n" << Err(name);
    EXPECT_NE(Err(name).find("lx40: asked to end: stopping at once"), std::string::npos)
        << Err(name);
    const std::vector<Json> lines = JsonLines(ReadFile(record));
    const Json* slow = BySerial(lines, "SLOW1");
    ASSERT_NE(slow, nullptr) << ReadFile(record);
    EXPECT_EQ(slow->at("result"), "cancelled");
  }
}

TEST_F(Lx40Test, StationRefusesABadBaysFileBeforeAnyMeterIsTouched) {
  struct Case {
    const char* text;
    const char* says;
  } cases[] = {
      {"B1 1-1\nB1 1-2\n", "bay B1 is given twice"},
      {"B1 1-1\nB2 1-1\n", "port 1-1 is bay B1 already"},
      {"B1\n", "expected a bay label and a port"},
  };
  const auto env = Environment("[meter]\nserial = Q1\n");
  for (const Case& c : cases) {
    WriteFile(Path("bays.txt"), c.text);
    EXPECT_EQ(Run({"station", "--bays", Path("bays.txt"), "--max-units", "1"}, env), 2) << c.text;
    EXPECT_NE(Err().find(c.says), std::string::npos) << Err();
    EXPECT_EQ(Out(), "");
  }
  EXPECT_EQ(Run({"station", "--bays", Path("missing.txt")}, env), 2);
  EXPECT_EQ(Run({"station", "--max-units", "1", "--operator", std::string(65, 'a')}, env), 2);
  EXPECT_EQ(Run({"station", "--max-units", "1", "--meta", "no-equals-sign"}, env), 2);
  EXPECT_TRUE(JsonLines(Out()).empty());
}

// The same meter through the station twice (set, pulled out, plugged in
// again later): the record file the station writes already holds its "set"
// line by then, so the second arrival is warned about and its line ends in
// "seen_before": true. The first, and another meter, are not marked. A
// meter the host has not yet talked to is pulled pull_after_ms after its
// plug-in: that time stays well above a listing's interval on a slow host
// (lx40.exe under Wine), or a meter could leave unseen and the run wait for
// a unit that never comes.
TEST_F(Lx40Test, StationWarnsAboutAMeterItsRecordFileHoldsASetLineFor) {
  const auto env = Environment(
      "[meter]\nserial = M1\nport = 1\npull_after_ms = 1500\n"
      "[meter]\nserial = M1\nport = 1\nplug_after_ms = 100\npull_after_ms = 1500\n"
      "[meter]\nserial = M2\nport = 2\npull_after_ms = 1500\n");
  const std::string record = Path("record.jsonl");
  ASSERT_EQ(Run({"station", "--max-units", "3", "--record", record}, env), 0) << Err();
  const std::string err = Err();
  const size_t warned = err.find("M1: set before: the record file ");
  EXPECT_NE(warned, std::string::npos) << err;
  EXPECT_EQ(err.find("M1: set before", warned + 1), std::string::npos) << err;
  EXPECT_EQ(err.find("M2: set before"), std::string::npos) << err;

  const std::string text = ReadFile(record);
  std::vector<nlohmann::ordered_json> lines;
  for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    lines.push_back(nlohmann::ordered_json::parse(text.substr(at, end - at)));
  }
  ASSERT_EQ(lines.size(), 3u) << text;
  int m1 = 0;
  for (const nlohmann::ordered_json& line : lines) {
    SCOPED_TRACE(line.dump());
    EXPECT_EQ(line.at("result"), "set");
    const bool second_m1 = line.at("serial") == "M1" && m1++ == 1;
    EXPECT_EQ(line.contains("seen_before"), second_m1);
    if (second_m1) {
      EXPECT_EQ(line.at("seen_before"), true);
      EXPECT_EQ(std::prev(line.end()).key(), "seen_before");
    }
  }
  EXPECT_EQ(m1, 2);
}

}  // namespace
}  // namespace lx40test
