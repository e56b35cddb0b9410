// Stopping lx40 station, with real signals sent to a real lx40 process in
// the middle of a table at two bays, while a third bay sees a device come
// and go every moment (each one a new arrival). Once Ctrl+C: the units in
// progress finish and are set, no new arrival is sent a byte, exit 0.
// Twice, SIGTERM or SIGHUP (and under Wine the console's close, logoff and
// shutdown and the session's end): every unit stops between two load
// steps and is recorded "cancelled", the re-plug list names both, exit 1.
#include <signal.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "lx40_fixture.h"

namespace lx40test {
namespace {

// Bays 1 and 2: one slow meter each (5 ms an answer: table 8010 takes
// about 4 s), pulled out once lx40 leaves it alone. Bay 3: devices that
// are no LX40, plugged in one after another, each pulled out a second
// after its last call (or its plug-in, when lx40 never calls on it): long
// enough for several listings to see it.
constexpr int kPassers = 40;

std::string StopLine() {
  std::string text;
  for (const char* serial : {"S1", "S2"}) {
    text += std::string("[meter]\nserial = ") + serial +
            "\nport = " + (serial[1] == '1' ? "1" : "2") +
            "\nlatency_us = 5000\npull_after_ms = 200\n";
  }
  for (int i = 0; i < kPassers; ++i) {
    text += "[meter]\nserial = P" + std::to_string(i) +
            "\nmodel = XX40\nport = 3\npull_after_ms = 1000\nplug_after_ms = 50\n";
  }
  return text;
}

class Lx40StationStopTest : public Lx40Test {
 protected:
  // Waits until both slow units are past the start of table 8010 and far
  // from its end, as the --json progress events say.
  bool WaitUntilBothMidTable(const Lx40Process& lx40) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < end) {
      bool mid[2] = {false, false};
      for (const Json& event : JsonLines(lx40.Out())) {
        if (event.at("event") != "progress" || event.at("table") != "8010 slot 1") continue;
        const int percent = event.at("percent").get<int>();
        const std::string port = event.at("port").get<std::string>();
        if (percent >= 1 && percent <= 50 && (port == "1-1" || port == "1-2")) {
          mid[port == "1-2"] = true;
        }
      }
      if (mid[0] && mid[1]) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  std::unique_ptr<Lx40Process> StartStation(std::map<std::string, std::string> extra = {}) {
    auto env = Environment(StopLine(), 100);
    env.insert(extra.begin(), extra.end());
    WriteFile(Path("bays.txt"), "B1 1-1\nB2 1-2\nB3 1-3\n");
    return Start(
        {"station", "--bays", Path("bays.txt"), "--json", "--record", Path("record.jsonl")}, env);
  }

  // The records of S1 and S2 (exactly those two), each checked by `check`
  // with what the simulator says the meter holds.
  void CheckRecords(const std::function<void(const Json& record, const Json& meter)>& check) {
    const std::vector<Json> records = JsonLines(ReadFile(Path("record.jsonl")));
    ASSERT_EQ(records.size(), 2u) << ReadFile(Path("record.jsonl"));
    const Json state = State();
    EXPECT_EQ(state.at("open_handles"), 0);
    for (const char* serial : {"S1", "S2"}) {
      SCOPED_TRACE(serial);
      const Json* record = BySerial(records, serial);
      ASSERT_NE(record, nullptr);
      EXPECT_EQ(record->at("bay"), serial[1] == '1' ? "B1" : "B2");
      check(*record, MeterState(state, serial));
    }
  }

  // Bay 3's devices: those that came before the stop were asked "QPID"
  // once (and found no LX40); from some device on, none was sent a byte.
  void CheckPassers(bool expect_untouched) {
    const Json state = State();
    int asked = 0;
    int untouched = 0;
    for (int i = 0; i < kPassers; ++i) {
      const int exchanges = MeterState(state, "P" + std::to_string(i)).at("exchanges").get<int>();
      EXPECT_LE(exchanges, 1) << "P" << i;
      if (exchanges == 0) {
        ++untouched;
      } else {
        EXPECT_EQ(untouched, 0) << "P" << i << " was asked after one that was not";
        ++asked;
      }
    }
    EXPECT_GE(asked, 1) << "bay 3 was never watched";
    if (expect_untouched) {
      EXPECT_GE(untouched, 1) << "no device came to bay 3 after the stop";
    }
  }

  static void CheckSet(const Json& record, const Json& meter) {
    EXPECT_EQ(record.at("result"), "set");
    EXPECT_EQ(record.at("tables")[0].at("outcome"), "written");
    EXPECT_EQ(record.at("tables")[1].at("outcome"), "written");
    EXPECT_EQ(StoredHex(meter, 1), HexOf(BuiltInTable(8010)));
    EXPECT_EQ(StoredHex(meter, 3), HexOf(BuiltInTable(8011)));
  }

  static void CheckCancelledMidTable(const Json& record, const Json& meter) {
    EXPECT_EQ(record.at("result"), "cancelled");
    EXPECT_EQ(record.at("code"), -31);
    EXPECT_EQ(record.at("tables")[0].at("outcome"), "failed");
    EXPECT_EQ(record.at("tables")[1].at("outcome"), "not-run");
    EXPECT_EQ(meter.at("stored").size(), 0u);
    EXPECT_EQ(meter.at("load_in_progress"), true);
  }
};

void ExpectReplugList(const std::string& err, bool expected) {
  const size_t replug = err.find("plug them in again before their next use: ");
  if (!expected) {
    EXPECT_EQ(replug, std::string::npos) << err;
    return;
  }
  ASSERT_NE(replug, std::string::npos) << err;
  EXPECT_NE(err.find("S1", replug), std::string::npos) << err;
  EXPECT_NE(err.find("S2", replug), std::string::npos) << err;
}

struct StopCase;
void PrintTo(const StopCase& c, std::ostream* out);

struct StopCase {
  const char* name;
  std::vector<int> signals;  // sent in turn, each once lx40 has answered the one before
  bool under_wine;           // Wine turns SIGINT into Ctrl+C; it has no SIGTERM or SIGHUP event
  const char* says;          // lx40's line on stderr at the last signal
  bool at_once;              // stopped between two load steps (else: the units finish)
};

void PrintTo(const StopCase& c, std::ostream* out) { *out << c.name; }

const StopCase kStopCases[] = {
    {"CtrlCOnce", {SIGINT}, true, "lx40: stopping: the units in progress finish", false},
    {"CtrlCTwice", {SIGINT, SIGINT}, true, "lx40: stopping at once", true},
    {"SIGTERM", {SIGTERM}, false, "lx40: asked to end: stopping at once", true},
    {"SIGHUP", {SIGHUP}, false, "lx40: asked to end: stopping at once", true},
};

class Lx40StationSignalTest : public Lx40StationStopTest,
                              public testing::WithParamInterface<StopCase> {};

TEST_P(Lx40StationSignalTest, StopsAsAskedAndRecordsEveryUnit) {
  const StopCase& c = GetParam();
  if (UnderWine() && !c.under_wine) GTEST_SKIP() << "a POSIX signal; under Wine: the end events";
  const auto process = StartStation();
  Lx40Process& lx40 = *process;
  ASSERT_TRUE(WaitUntilBothMidTable(lx40)) << lx40.Out() << lx40.Err();
  const char* answers[] = {"lx40: stopping: ", "lx40: stopping at once"};
  for (size_t i = 0; i < c.signals.size(); ++i) {
    lx40.Signal(c.signals[i]);
    // Signals sent at once may arrive as one: the next goes once lx40 has
    // answered this one.
    const char* answer = i + 1 == c.signals.size() ? c.says : answers[i];
    EXPECT_TRUE(lx40.WaitForErrorOutput(answer, std::chrono::seconds(30))) << lx40.Err();
  }
  EXPECT_EQ(lx40.Wait(), c.at_once ? 1 : 0) << lx40.Err();

  CheckRecords(c.at_once ? CheckCancelledMidTable : CheckSet);
  ExpectReplugList(lx40.Err(), c.at_once);
  // Once Ctrl+C: the slow units still took long enough for bay 3 to see
  // new devices, and none of them got a byte.
  CheckPassers(!c.at_once);
  const std::vector<Json> events = JsonLines(lx40.Out());
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().at("event"), "stopped");
}

INSTANTIATE_TEST_SUITE_P(Signals, Lx40StationSignalTest, testing::ValuesIn(kStopCases),
                         [](const testing::TestParamInfo<StopCase>& param) {
                           return std::string(param.param.name);
                         });

// Windows: the console closed, logoff, shutdown, the session's end. Wine
// cannot send them: the simulator build's hook delivers each once a
// trigger file appears, and ends the process when the handler returns, as
// the system does. By then every unit must be stopped and recorded, the
// re-plug list out, and lx40 ended with status 1.
class Lx40StationEndEventTest : public Lx40StationStopTest,
                                public testing::WithParamInterface<const char*> {};

TEST_P(Lx40StationEndEventTest, StopsEveryUnitAtOnceAndRecordsEachInTime) {
  if (!UnderWine()) GTEST_SKIP() << "Windows' end events, delivered by the simulator build's hook";
  const auto process =
      StartStation({{"LX40_SIM_END_EVENT", GetParam()}, {"LX40_SIM_END_TRIGGER", Path("end-now")}});
  ASSERT_TRUE(WaitUntilBothMidTable(*process)) << process->Out() << process->Err();
  WriteFile(Path("end-now"), "");
  EXPECT_EQ(process->Wait(), 1) << process->Err();
  const std::string err = process->Err();
  EXPECT_EQ(err.find("the handler returned"), std::string::npos) << err;
  EXPECT_NE(err.find("lx40: asked to end: stopping at once"), std::string::npos) << err;
  CheckRecords(CheckCancelledMidTable);
  ExpectReplugList(err, true);
}

INSTANTIATE_TEST_SUITE_P(Events, Lx40StationEndEventTest,
                         testing::Values("close", "logoff", "shutdown", "session"),
                         [](const testing::TestParamInfo<const char*>& param) {
                           return std::string(param.param);
                         });

}  // namespace
}  // namespace lx40test
