// The setup run from the Run button to its final page, against virtual
// meters through the real Meterlink, drawn into a recording window.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "compiled_in_resources.h"
#include "layout.h"
#include "meterlink.h"
#include "run_fixture.h"
#include "sensor_data.h"
#include "wizard_tables.h"

namespace {

using usbsim::MeterConfig;
using usbsim::VirtualMeter;

const std::string kAlreadyHasData = "This device already has data.";
const std::string kNoBattery = "There is no battery. Replace the battery.";
const std::string kSignalError = "Signal error. Check the USB connection.";

using wizard_tables::BuiltInTables;

// The built-in tables as the run sends them.
struct TableFacts {
  rig::Bytes bytes;
  uint16_t records = 0;
};

TableFacts BuiltIn(uint8_t index) {
  CSensorData data(BuiltInTables());
  EXPECT_TRUE(data.LoadAll());
  data.Select(index);
  return {rig::Bytes(data.Table(), data.Table() + data.TotalSize()), data.RecordCount()};
}

// The bar positions of one table: 0, then 6 per record but the last, then
// 300 settle steps of 10, ending 24 short of total size + 3000.
std::vector<int32_t> ProgressCycle(uint16_t records) {
  std::vector<int32_t> positions{0};
  int32_t at = 0;
  for (int record = 1; record < records; ++record) positions.push_back(at += 6);
  for (int step = 0; step < 300; ++step) positions.push_back(at += 10);
  return positions;
}

std::vector<int32_t> Join(std::vector<int32_t> a, const std::vector<int32_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

MeterConfig Meter(const std::string& serial, bool slot1Filled = false, bool slot3Filled = false) {
  MeterConfig config;
  config.serial = serial;
  config.slots_filled[1] = slot1Filled;
  config.slots_filled[3] = slot3Filled;
  return config;
}

std::vector<std::string> MeterHeader(int remaining, const std::string& serial) {
  return {"<Remaining units:  " + std::to_string(remaining) + ">", "SerialNo:" + serial};
}

std::vector<std::string> With(std::vector<std::string> lines, const std::string& last) {
  lines.push_back(last);
  return lines;
}

// The run left Meterlink's device table closed.
bool DeviceTableClosed() {
  int32_t count = 0;
  return GetAllDeviceNum(&count) == -2;
}

class SetupRunTest : public RunFixture {
 protected:
  SetupRunTest() : RunFixture(BuiltInTables()) {}

  void ExpectEndedIn(uint8_t state) {
    EXPECT_EQ(wizard.State(), state);
    EXPECT_FALSE(wizard.IsRunActive());
    ASSERT_EQ(Repaints().size(), 1u);
    EXPECT_EQ(Repaints()[0].state, state);
    EXPECT_FALSE(window.Progress().exists);
    EXPECT_TRUE(DeviceTableClosed());
  }
};

TEST_F(SetupRunTest, OneMeterWithBothSlotsEmptyGetsBothTables) {
  auto meter = bench.Attach(Meter("A12345678"));
  Run();

  ExpectEndedIn(STATE_COMPLETE);
  const TableFacts table0 = BuiltIn(0);
  const TableFacts table1 = BuiltIn(1);
  EXPECT_EQ(meter->SlotContent(1), std::optional<rig::Bytes>(table0.bytes));
  EXPECT_EQ(meter->SlotContent(3), std::optional<rig::Bytes>(table1.bytes));

  // The body as the run left it: the meter header and the setting line of
  // the last table, finished with "OK".
  EXPECT_EQ(Repaints()[0].body, With(MeterHeader(1, "A12345678"), " Setting the 8011 ...OK"));
  // Then the complete page.
  EXPECT_EQ(window.TitleLines(), std::vector<std::string>{"Data setup is complete."});

  // One bar for the run, one progress cycle per table.
  const ProgressView progress = window.Progress();
  EXPECT_EQ(progress.created, 1);
  EXPECT_EQ(progress.destroyed, 1);
  EXPECT_EQ(progress.controlId, 700);
  EXPECT_EQ(progress.area, (Rect{30, 200, 464, 220}));
  EXPECT_EQ(window.Ranges(), (std::vector<int32_t>{4704 + 3000, 444 + 3000}));
  EXPECT_EQ(progress.positions, Join(ProgressCycle(table0.records), ProgressCycle(table1.records)));
  EXPECT_EQ(progress.positions[table0.records - 1 + 300], 4704 + 3000 - 24);
  EXPECT_EQ(progress.positions.back(), 444 + 3000 - 24);

  EXPECT_TRUE(window.Messages().empty());
  EXPECT_EQ(rig::CountWrites(meter->Transcript(), "RESET_USBLX40\n"), 0);
}

// The serial number is the meter's text: whatever bytes it holds, the page
// shows it escaped (no control byte, no code-page lead byte reaches the
// screen), and the meter is still set up.
TEST_F(SetupRunTest, SerialWithHostileBytesIsShownEscaped) {
  auto meter = bench.Attach(Meter("A\x1b[2J\xff\x07"));
  Run();
  ExpectEndedIn(STATE_COMPLETE);
  EXPECT_EQ(Repaints()[0].body,
            With(MeterHeader(1, "A\\x1B[2J\\xFF\\x07"), " Setting the 8011 ...OK"));
  EXPECT_EQ(meter->SlotContent(3), std::optional<rig::Bytes>(BuiltIn(1).bytes));
}

TEST_F(SetupRunTest, MeterWithBothTablesPresentGetsNoticeAndNoTransfer) {
  auto meter = bench.Attach(Meter("A12345678", true, true));
  Run();

  ExpectEndedIn(STATE_COMPLETE);
  EXPECT_EQ(window.Messages(), std::vector<std::string>{kAlreadyHasData});
  EXPECT_EQ(rig::CountWrites(meter->Transcript(), "HOSEI\n"), 0);
  EXPECT_TRUE(window.Ranges().empty());
  EXPECT_EQ(Repaints()[0].body, MeterHeader(1, "A12345678"));
}

TEST_F(SetupRunTest, OnlyTheMissingTableIsWritten) {
  auto meter = bench.Attach(Meter("A12345678", false, true));
  Run();

  ExpectEndedIn(STATE_COMPLETE);
  EXPECT_TRUE(window.Messages().empty());  // one table was missing: no notice
  EXPECT_EQ(meter->SlotContent(1), std::optional<rig::Bytes>(BuiltIn(0).bytes));
  EXPECT_EQ(meter->SlotContent(3), std::nullopt);
  EXPECT_EQ(rig::CountWrites(meter->Transcript(), "HOSEI\n"), 1);
  EXPECT_EQ(window.Ranges(), std::vector<int32_t>{4704 + 3000});
  EXPECT_EQ(Repaints()[0].body, With(MeterHeader(1, "A12345678"), " Setting the 8010 ...OK"));
}

TEST_F(SetupRunTest, TwoMetersShowTwoThenOneRemaining) {
  rig::TappedMeter first = bench.AttachTapped(Meter("A12345678"));
  rig::TappedMeter second = bench.AttachTapped(Meter("B23456789"));
  std::vector<std::vector<std::string>> bodyAtFirstHosei;
  for (rig::TappedMeter* meter : {&first, &second}) {
    meter->tap->BeforeWrite(rig::MeterTap::Exactly("HOSEI\n"), 1,
                            [&] { bodyAtFirstHosei.push_back(window.BodyLines()); });
  }
  Run();

  ExpectEndedIn(STATE_COMPLETE);
  ASSERT_EQ(bodyAtFirstHosei.size(), 2u);
  EXPECT_EQ(bodyAtFirstHosei[0], MeterHeader(2, "A12345678"));
  EXPECT_EQ(bodyAtFirstHosei[1], MeterHeader(1, "B23456789"));
  for (rig::TappedMeter* meter : {&first, &second}) {
    EXPECT_EQ(meter->meter->SlotContent(1), std::optional<rig::Bytes>(BuiltIn(0).bytes));
    EXPECT_EQ(meter->meter->SlotContent(3), std::optional<rig::Bytes>(BuiltIn(1).bytes));
  }
  EXPECT_EQ(window.Ranges().size(), 4u);
  EXPECT_EQ(Repaints()[0].body, With(MeterHeader(1, "B23456789"), " Setting the 8011 ...OK"));
}

TEST_F(SetupRunTest, RunWorksOnAThreadOfItsOwn) {
  rig::TappedMeter tapped = bench.AttachTapped(Meter("A12345678"));
  rig::Rendezvous atHosei;
  std::thread::id runThreadId;
  tapped.tap->BeforeWrite(rig::MeterTap::Exactly("HOSEI\n"), 1, [&] {
    runThreadId = std::this_thread::get_id();
    atHosei.Arrive();
  });
  wizard.OnNextButton();  // returns while the run goes on
  ASSERT_TRUE(atHosei.WaitForArrival());
  EXPECT_NE(runThreadId, std::this_thread::get_id());
  EXPECT_TRUE(wizard.IsRunActive());
  EXPECT_EQ(runThread.LiveThreads(), 1);
  EXPECT_EQ(wizard.State(), STATE_RUNNING);
  EXPECT_TRUE(window.Button(CWizardCore::kCancelButton).enabled);
  // The bar exists, not yet shown, until the table's progress starts.
  const ProgressView progress = window.Progress();
  EXPECT_TRUE(progress.exists);
  EXPECT_FALSE(progress.visible);
  EXPECT_EQ(progress.area, Layout().progressBar);
  atHosei.Release();
  runThread.WaitForRuns();
  EXPECT_EQ(runThread.LiveThreads(), 0);
  ExpectEndedIn(STATE_COMPLETE);
}

// Whoever owns the wizard destroys the run thread object first; that waits
// until the run has made its final repaint, so the window outlives the run.
TEST_F(SetupRunTest, RunThreadOwnerWaitsForTheRunBeforeItGoes) {
  rig::TappedMeter tapped = bench.AttachTapped(Meter("A12345678"));
  rig::Rendezvous atHosei;
  tapped.tap->BeforeWrite(rig::MeterTap::Exactly("HOSEI\n"), 1, [&] { atHosei.Arrive(); });
  auto owner = std::make_unique<CSetupRunThread>(wizard, NoSettleWait());  // replaces the fixture's

  wizard.OnNextButton();
  ASSERT_TRUE(atHosei.WaitForArrival());
  std::atomic<bool> destroyed{false};
  std::thread destroyer([&] {
    owner.reset();
    destroyed.store(true);
  });
  EXPECT_FALSE(destroyed.load());  // the run is held up at "HOSEI"
  atHosei.Release();
  destroyer.join();
  // Gone only after the run's end: its final repaint is done.
  EXPECT_EQ(Repaints().size(), 1u);
  EXPECT_FALSE(wizard.IsRunActive());
  EXPECT_EQ(wizard.State(), STATE_COMPLETE);
  // Without a run starter, Run now shows the cancelled page.
  wizard.OnBackButton();
  wizard.OnNextButton();
  EXPECT_EQ(wizard.State(), STATE_CANCELLED);
  EXPECT_EQ(runThread.LiveThreads(), 0);
}

TEST_F(SetupRunTest, CancelDuringTheRecordsFinishesTheTableThenStops) {
  rig::TappedMeter tapped = bench.AttachTapped(Meter("A12345678"));
  rig::Rendezvous atRecord100;
  std::vector<std::string> bodyAtRecord101;
  // "HOSEI" and LF is the first six-byte write, record n the (1 + n)-th.
  tapped.tap->BeforeWrite(rig::MeterTap::OfSize(6), 1 + 100, [&] { atRecord100.Arrive(); });
  tapped.tap->BeforeWrite(rig::MeterTap::OfSize(6), 1 + 101,
                          [&] { bodyAtRecord101 = window.BodyLines(); });

  wizard.OnNextButton();
  ASSERT_TRUE(atRecord100.WaitForArrival());
  wizard.OnCancelButton();
  EXPECT_EQ(wizard.State(), STATE_CANCELLING);  // the run is still on
  atRecord100.Release();
  runThread.WaitForRuns();

  ExpectEndedIn(STATE_CANCELLED);
  // "Cancelling..." replaced the body right after the record being sent.
  EXPECT_EQ(bodyAtRecord101, std::vector<std::string>{"Cancelling..."});
  EXPECT_EQ(Repaints()[0].body, std::vector<std::string>{"Cancelling..."});
  EXPECT_EQ(window.TitleLines(), std::vector<std::string>{"Setup was cancelled."});

  // Table 0 finished: every record, the trailer, the whole settle pause.
  const TableFacts table0 = BuiltIn(0);
  EXPECT_EQ(tapped.meter->SlotContent(1), std::optional<rig::Bytes>(table0.bytes));
  EXPECT_EQ(window.Progress().positions, ProgressCycle(table0.records));
  // Then the meter was reset, and table 1 never started.
  const auto writes = rig::HostWrites(tapped.meter->Transcript());
  ASSERT_GE(writes.size(), 2u);
  EXPECT_EQ(writes.back(), rig::ToBytes("RESET_USBLX40\n"));
  EXPECT_EQ(writes[writes.size() - 2], rig::Bytes(table0.bytes.end() - 2, table0.bytes.end()));
  EXPECT_EQ(rig::CountWrites(tapped.meter->Transcript(), "HOSEI\n"), 1);
  EXPECT_EQ(tapped.meter->SlotContent(3), std::nullopt);
  EXPECT_TRUE(window.Messages().empty());
}

TEST_F(SetupRunTest, CancelWhileQueryingTheLastMeterWithItsTablesPresent) {
  rig::TappedMeter tapped = bench.AttachTapped(Meter("A12345678", true, true));
  rig::Rendezvous atTest;
  tapped.tap->BeforeWrite(rig::MeterTap::Exactly("TEST\n"), 1, [&] { atTest.Arrive(); });

  wizard.OnNextButton();
  ASSERT_TRUE(atTest.WaitForArrival());
  wizard.OnCancelButton();
  atTest.Release();
  runThread.WaitForRuns();

  EXPECT_EQ(window.Messages(), std::vector<std::string>{kAlreadyHasData});
  ExpectEndedIn(STATE_CANCELLED);
  // No table was being sent: the run ended normally, without a reset.
  EXPECT_EQ(rig::CountWrites(tapped.meter->Transcript(), "RESET_USBLX40\n"), 0);
  EXPECT_EQ(rig::CountWrites(tapped.meter->Transcript(), "HOSEI\n"), 0);
  EXPECT_EQ(Repaints()[0].body, MeterHeader(1, "A12345678"));
}

TEST_F(SetupRunTest, LowBatteryOnTheSecondMeterEndsTheRunAfterTheFirst) {
  auto first = bench.Attach(Meter("A12345678"));
  MeterConfig low = Meter("B23456789");
  low.battery_low = true;
  auto second = bench.Attach(low);
  Run();

  EXPECT_EQ(window.Messages(), std::vector<std::string>{kNoBattery});
  ExpectEndedIn(STATE_CANCELLED);
  EXPECT_EQ(first->SlotContent(1), std::optional<rig::Bytes>(BuiltIn(0).bytes));
  EXPECT_EQ(first->SlotContent(3), std::optional<rig::Bytes>(BuiltIn(1).bytes));
  EXPECT_EQ(rig::CountWrites(second->Transcript(), "TEST\n"), 0);
  EXPECT_EQ(rig::CountWrites(second->Transcript(), "HOSEI\n"), 0);
  EXPECT_EQ(rig::CountWrites(second->Transcript(), "RESET_USBLX40\n"), 0);
  EXPECT_EQ(Repaints()[0].body, MeterHeader(1, "B23456789"));
}

TEST_F(SetupRunTest, NoDeviceAnsweringAsAnLx40ShowsAnEmptyMessage) {
  MeterConfig other = Meter("A12345678");
  other.model = "LX41";
  bench.Attach(other);
  Run();

  EXPECT_EQ(window.Messages(), std::vector<std::string>{""});
  ExpectEndedIn(STATE_CANCELLED);
  EXPECT_EQ(Repaints()[0].body, std::vector<std::string>{"Connecting..."});
  EXPECT_EQ(window.Progress().created, 0);  // the meters were never open
}

TEST_F(SetupRunTest, NoMeterAtAllIsASignalError) {
  Run();
  EXPECT_EQ(window.Messages(), std::vector<std::string>{kSignalError});
  ExpectEndedIn(STATE_CANCELLED);
}

TEST_F(SetupRunTest, MeterUnpluggedMidTableEndsWithSignalError) {
  rig::TappedMeter tapped = bench.AttachTapped(Meter("A12345678"));
  VirtualMeter& meter = *tapped.meter;
  // The 50th record's write pulls the meter out ("HOSEI" and LF is the
  // first six-byte write).
  tapped.tap->BeforeWrite(rig::MeterTap::OfSize(6), 1 + 50, [&meter] {
    usbsim::MeterFaults faults;
    faults.unplug_at = meter.ExchangeCount() + 1;
    meter.SetFaults(faults);
  });
  Run();

  EXPECT_EQ(window.Messages(), std::vector<std::string>{kSignalError});
  ExpectEndedIn(STATE_CANCELLED);
  EXPECT_TRUE(meter.Unplugged());
  EXPECT_EQ(meter.SlotContent(1), std::nullopt);
  // The transcript ends with the 49th record: nothing reached the meter
  // after it (no trailer, no reset).
  const TableFacts table0 = BuiltIn(0);
  const auto writes = rig::HostWrites(meter.Transcript());
  ASSERT_FALSE(writes.empty());
  EXPECT_EQ(writes.back(),
            rig::Bytes(table0.bytes.begin() + 16 + 48 * 6, table0.bytes.begin() + 16 + 49 * 6));
}

TEST_F(SetupRunTest, RefusedTrailerEndsTheRunWithoutReset) {
  MeterConfig config = Meter("A12345678");
  config.faults.nak_trailer = true;
  auto meter = bench.Attach(config);
  Run();

  EXPECT_EQ(window.Messages(), std::vector<std::string>{kSignalError});
  ExpectEndedIn(STATE_CANCELLED);
  // The last thing on the wire is the meter's refusal of the trailer.
  const auto transcript = meter->Transcript();
  ASSERT_FALSE(transcript.empty());
  EXPECT_EQ(transcript.back().direction, VirtualMeter::Direction::kMeterToHost);
  EXPECT_EQ(transcript.back().bytes, rig::Bytes{0x15});
  EXPECT_EQ(rig::CountWrites(transcript, "HOSEI\n"), 1);
  // The failed table's line stays without "OK".
  EXPECT_EQ(Repaints()[0].body, With(MeterHeader(1, "A12345678"), " Setting the 8010 ..."));
}

TEST_F(SetupRunTest, WrongEchoEndsTheRunBeforeTheProgressStarts) {
  MeterConfig config = Meter("A12345678");
  config.faults.wrong_echo_at = 2;
  auto meter = bench.Attach(config);
  Run();

  EXPECT_EQ(window.Messages(), std::vector<std::string>{kSignalError});
  ExpectEndedIn(STATE_CANCELLED);
  EXPECT_TRUE(window.Ranges().empty());
  EXPECT_EQ(meter->SlotContent(1), std::nullopt);
}

TEST_F(SetupRunTest, AfterACancelledRunTheNextRunLoadsTheMeter) {
  auto meter = bench.Attach(Meter("A12345678", false, true));
  usbsim::MeterFaults faults;
  faults.nak_trailer = true;
  meter->SetFaults(faults);
  Run();
  ASSERT_EQ(wizard.State(), STATE_CANCELLED);

  meter->SetFaults({});
  wizard.OnBackButton();  // the cancelled page's "< &Back"
  Run();
  EXPECT_EQ(wizard.State(), STATE_COMPLETE);
  EXPECT_EQ(meter->SlotContent(1), std::optional<rig::Bytes>(BuiltIn(0).bytes));
  EXPECT_EQ(window.Progress().created, 2);
  EXPECT_EQ(window.Progress().destroyed, 2);
}

TEST_F(SetupRunTest, JapaneseTextsFollowTheSameSteps) {
  window.SetLanguage(UiLanguage::Japanese);
  bench.Attach(Meter("A12345678", false, true));
  Run();
  ExpectEndedIn(STATE_COMPLETE);
  EXPECT_EQ(Repaints()[0].body,
            (std::vector<std::string>{"<残り 1台>", "シリアルNo:A12345678", "  8010設定中...OK"}));
}

// The simulator build takes the settle pause from LX40_SETTLE_MS (tests
// only), spread over the same 300 steps; anything malformed is refused with
// lx40's message and keeps 10 ms.
void SetSettleEnvironment(const char* value) {
#ifdef _WIN32
  _putenv_s("LX40_SETTLE_MS", value == nullptr ? "" : value);
#else
  if (value == nullptr) {
    unsetenv("LX40_SETTLE_MS");
  } else {
    setenv("LX40_SETTLE_MS", value, 1);
  }
#endif
}

TEST(ProgramRunOptions, SettleFromTheEnvironmentInTheSimulatorBuild) {
  struct Case {
    const char* value;
    std::chrono::microseconds step;
    bool refused;
  };
  const std::chrono::microseconds standard = std::chrono::milliseconds(10);
  EXPECT_EQ(SetupRunOptions{}.settleStep, standard);
  for (const Case& c :
       {Case{nullptr, standard, false}, Case{"0", std::chrono::microseconds(0), false},
        Case{"300", std::chrono::microseconds(1000), false},
        Case{"600000", std::chrono::microseconds(2'000'000), false}, Case{"600001", standard, true},
        Case{"-1", standard, true}, Case{"12ms", standard, true}, Case{"", standard, false}}) {
    const char* shown = c.value ? c.value : "(unset)";
    SetSettleEnvironment(c.value);
    std::string error = "stale";
    EXPECT_EQ(ProgramRunOptions(&error).settleStep, c.step) << shown;
    if (c.refused) {
      EXPECT_EQ(error, std::string("LX40_SETTLE_MS must be a number of milliseconds from 0 to "
                                   "600000, not '") +
                           c.value + "'");
    } else {
      EXPECT_EQ(error, "") << shown;
    }
  }
  SetSettleEnvironment(nullptr);
}

}  // namespace
