// Ctrl+C during a setup, sent as SIGINT. Once: each meter finishes the
// table it is writing, stores it, and stops. Twice: each meter stops at
// once, mid-table, stores nothing, and is named for re-plugging. A request
// to end the process (SIGTERM, SIGHUP) stops as two Ctrl+Cs do.
#include <signal.h>

#include <chrono>
#include <functional>
#include <thread>
#include <string>
#include <vector>

#include "lx40_fixture.h"

namespace lx40test {
namespace {

// Answers delayed 1 ms: table 8010 (781 records) takes about a second, long
// enough to be interrupted in the middle.
constexpr char kTwoSlowMeters[] =
    "[meter]\nserial = A1\nlatency_us = 1000\n[meter]\nserial = B2\nlatency_us = 1000\n";

// Two meters setting up with a record file, both in the middle of table
// 8010, interrupted: what every such run ends with is checked here, what
// depends on the number of Ctrl+Cs by the test.
class Lx40InterruptTest : public Lx40Test {
 protected:
  // Ctrl+C `times` times once both meters are writing (each after the one
  // before it was seen), then: exit status 1, one "cancelled" record line
  // for each meter, no handle left open. `check` looks at each meter's
  // record and at what the simulator says the meter holds. Returns lx40's
  // stderr.
  std::string InterruptBothWhileWriting(
      int times, const std::function<void(const Json& record, const Json& meter)>& check,
      int signal_number = SIGINT) {
    const auto process =
        Start({"setup", "--record", Path("record.jsonl")}, Environment(kTwoSlowMeters, 100));
    Lx40Process& lx40 = *process;
    EXPECT_TRUE(lx40.WaitForOutput("A1: 8010 slot 1: writing", std::chrono::seconds(20)) &&
                lx40.WaitForOutput("B2: 8010 slot 1: writing", std::chrono::seconds(20)))
        << lx40.Out();
    if (signal_number != SIGINT) {
      // "writing" shows before the first step: a stop at once before it
      // sends the meter nothing. A few hundred steps in, the meter is
      // mid-table (the table takes about a second).
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    lx40.Signal(signal_number);
    if (times > 1) {
      // Signals sent at once may arrive as one: the second goes once lx40
      // has answered the first.
      EXPECT_TRUE(lx40.WaitForErrorOutput("lx40: cancelling", std::chrono::seconds(20)))
          << lx40.Err();
      lx40.Interrupt();
    }
    EXPECT_EQ(lx40.Wait(), 1) << lx40.Err();

    const std::vector<Json> records = JsonLines(ReadFile(Path("record.jsonl")));
    EXPECT_EQ(records.size(), 2u);
    const Json state = State();
    EXPECT_EQ(state.at("open_handles"), 0);
    for (const char* serial : {"A1", "B2"}) {
      SCOPED_TRACE(serial);
      const Json* record = BySerial(records, serial);
      if (record == nullptr) {
        ADD_FAILURE() << "no record line";
        continue;
      }
      EXPECT_EQ(record->at("result"), "cancelled");
      check(*record, MeterState(state, serial));
    }
    return lx40.Err();
  }
};

TEST_F(Lx40InterruptTest, OneCtrlCLetsEveryMeterFinishItsTableThenStops) {
  const std::string err = InterruptBothWhileWriting(1, [](const Json& record, const Json& meter) {
    EXPECT_EQ(record.at("message"), "Data Setup was cancelled before it was completed.");
    EXPECT_EQ(record.at("tables")[0].at("outcome"), "written");
    EXPECT_EQ(record.at("tables")[1].at("outcome"), "not-run");
    EXPECT_EQ(record.at("slots_after"), "0100000");
    EXPECT_EQ(StoredHex(meter, 1), HexOf(BuiltInTable(8010)));
    EXPECT_EQ(StoredHex(meter, 3), "");
    EXPECT_EQ(meter.at("load_in_progress"), false);
  });
  EXPECT_EQ(err.find("plug them in again"), std::string::npos) << err;
}

TEST_F(Lx40Test, OneCtrlCLeavesMetersNotStartedYetUntouched) {
  const auto env = Environment(kTwoSlowMeters, 100);
  const auto process = Start({"setup", "--jobs", "1", "--json"}, env);
  // With --json the progress goes to stderr.
  ASSERT_TRUE(process->WaitForErrorOutput("A1: 8010 slot 1: writing", std::chrono::seconds(20)));
  process->Interrupt();
  EXPECT_EQ(process->Wait(), 1) << process->Err();

  const std::vector<Json> records = JsonLines(process->Out());
  ASSERT_EQ(records.size(), 2u) << process->Out();
  EXPECT_EQ(BySerial(records, "A1")->at("tables")[0].at("outcome"), "written");
  const Json& untouched = *BySerial(records, "B2");
  EXPECT_EQ(untouched.at("result"), "cancelled");
  EXPECT_EQ(untouched.at("battery"), nullptr);
  EXPECT_EQ(untouched.at("slots_before"), nullptr);
  EXPECT_EQ(untouched.at("tables")[0].at("outcome"), "not-run");
  EXPECT_EQ(untouched.at("tables")[1].at("outcome"), "not-run");
  const Json state = State();
  EXPECT_EQ(MeterState(state, "B2").at("stored").size(), 0u);
  EXPECT_EQ(StoredHex(MeterState(state, "A1"), 1), HexOf(BuiltInTable(8010)));
}

// What a meter stopped at once looks like: its record and its state.
void CheckStoppedMidTable(const Json& record, const Json& meter) {
  EXPECT_EQ(record.at("code"), -31);
  EXPECT_EQ(record.at("tables")[0].at("outcome"), "failed");
  EXPECT_EQ(record.at("tables")[1].at("outcome"), "not-run");
  EXPECT_EQ(record.at("slots_after"), nullptr);
  EXPECT_EQ(meter.at("slots"), "0000000");
  EXPECT_EQ(meter.at("stored").size(), 0u);
  EXPECT_EQ(meter.at("load_in_progress"), true);
}

void ExpectReplugList(const std::string& err) {
  const size_t replug = err.find("plug them in again before their next use: ");
  ASSERT_NE(replug, std::string::npos) << err;
  EXPECT_NE(err.find("A1", replug), std::string::npos) << err;
  EXPECT_NE(err.find("B2", replug), std::string::npos) << err;
}

// SIGTERM (a service manager, `timeout`, `kill`) and SIGHUP (the terminal
// closed) stop every meter at once, as a second Ctrl+C does, and nothing
// is lost: a record line for each, the re-plug list, exit status 1.
class Lx40EndSignalTest : public Lx40InterruptTest, public testing::WithParamInterface<int> {};

TEST_P(Lx40EndSignalTest, StopsEveryMeterAtOnceAndRecordsEachOne) {
  if (UnderWine()) GTEST_SKIP() << "a POSIX signal; Windows' end events: Lx40EndEventTest";
  const std::string err = InterruptBothWhileWriting(1, CheckStoppedMidTable, GetParam());
  EXPECT_NE(err.find("lx40: asked to end: stopping at once"), std::string::npos) << err;
  ExpectReplugList(err);
}

INSTANTIATE_TEST_SUITE_P(Signals, Lx40EndSignalTest, testing::Values(SIGTERM, SIGHUP),
                         [](const testing::TestParamInfo<int>& param) {
                           return param.param == SIGTERM ? "SIGTERM" : "SIGHUP";
                         });

// Windows: closing the console, logging off and shutting down end the
// process a few seconds after the event. Wine cannot send these events: the
// simulator build's hook (lx40/win32/end_event_sim_hook.cpp) delivers each
// as Windows would, on a thread of its own, once a trigger file appears,
// and ends the process when the handler returns, as the system does. The
// handler must have stopped every meter, had every record written and the
// re-plug list printed, and let lx40 end with status 1, by then.
class Lx40EndEventTest : public Lx40InterruptTest,
                         public testing::WithParamInterface<const char*> {};

TEST_P(Lx40EndEventTest, StopsEveryMeterAtOnceAndRecordsEachOneInTime) {
  if (!UnderWine()) GTEST_SKIP() << "Windows' end events, delivered by the simulator build's hook";
  auto env = Environment(kTwoSlowMeters, 100);
  env["LX40_SIM_END_EVENT"] = GetParam();
  env["LX40_SIM_END_TRIGGER"] = Path("end-now");
  const auto process = Start({"setup", "--record", Path("record.jsonl")}, env);
  ASSERT_TRUE(process->WaitForOutput("A1: 8010 slot 1: writing", std::chrono::seconds(20)) &&
              process->WaitForOutput("B2: 8010 slot 1: writing", std::chrono::seconds(20)))
      << process->Out() << process->Err();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // mid-table, as above
  WriteFile(Path("end-now"), "");
  EXPECT_EQ(process->Wait(), 1) << process->Err();
  const std::string err = process->Err();
  EXPECT_EQ(err.find("the handler returned"), std::string::npos) << err;
  const std::vector<Json> records = JsonLines(ReadFile(Path("record.jsonl")));
  EXPECT_EQ(records.size(), 2u);
  const Json state = State();
  for (const char* serial : {"A1", "B2"}) {
    SCOPED_TRACE(serial);
    const Json* record = BySerial(records, serial);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->at("result"), "cancelled");
    CheckStoppedMidTable(*record, MeterState(state, serial));
  }
  ExpectReplugList(err);
}

INSTANTIATE_TEST_SUITE_P(Events, Lx40EndEventTest,
                         testing::Values("close", "logoff", "shutdown", "session"),
                         [](const testing::TestParamInfo<const char*>& param) {
                           return std::string(param.param);
                         });

TEST_F(Lx40InterruptTest, TwoCtrlCsStopEveryMeterMidTableAndNameThemForReplugging) {
  const std::string err = InterruptBothWhileWriting(2, [](const Json& record, const Json& meter) {
    EXPECT_EQ(record.at("code"), -31);
    EXPECT_EQ(record.at("tables")[0].at("outcome"), "failed");
    EXPECT_EQ(record.at("tables")[1].at("outcome"), "not-run");
    EXPECT_EQ(record.at("slots_after"), nullptr);
    // The meter never got the trailer: it stored nothing and still waits
    // for table bytes.
    EXPECT_EQ(meter.at("slots"), "0000000");
    EXPECT_EQ(meter.at("stored").size(), 0u);
    EXPECT_EQ(meter.at("load_in_progress"), true);
  });
  const size_t replug = err.find("plug them in again before their next use: ");
  ASSERT_NE(replug, std::string::npos) << err;
  EXPECT_NE(err.find("A1", replug), std::string::npos) << err;
  EXPECT_NE(err.find("B2", replug), std::string::npos) << err;
}

}  // namespace
}  // namespace lx40test
