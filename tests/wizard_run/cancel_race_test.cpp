// Cancel pressed at many points around the end of a run: the run's end and
// the Cancel handler must always agree, so the wizard never stays in the
// cancelling state without a run, and a run always ends on the complete or
// the cancelled page. Many short runs against a fast virtual meter.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "memory_resources.h"
#include "meterlink.h"
#include "run_fixture.h"

namespace {

using rig::MeterTap;
using Clock = std::chrono::steady_clock;

MemoryResources& SmallTables() {
  static MemoryResources tables = SmallSensorTables();  // 3 and 2 records
  return tables;
}

class CancelRaceTest : public RunFixture {
 protected:
  CancelRaceTest() : RunFixture(SmallTables()) {}
};

TEST_F(CancelRaceTest, LateCancelNeverLeavesTheWizardCancelling) {
  constexpr int kRuns = 2000;
  // Presses are spread from the trailer of a table to a little past the
  // run's end, in steps of this many parts of the time a run takes there.
  constexpr int kSpreadSteps = 40;
  Clock::duration tail{};  // trailer to end of run, as seen in the first runs
  int endedComplete = 0;
  int endedCancelled = 0;

  for (int i = 0; i < kRuns; ++i) {
    rig::MeterBench runBench;
    rig::TappedMeter tapped = runBench.AttachTapped(usbsim::MeterConfig{});
    std::atomic<bool> trailerSent{false};
    // Every other run counts from the first table's trailer, the rest from
    // the last table's: presses land in the middle and at the very end.
    tapped.tap->BeforeWrite(MeterTap::OfSize(2), 1 + i % 2, [&] { trailerSent.store(true); });

    const size_t repaintsBefore = Repaints().size();
    wizard.OnNextButton();
    const Clock::time_point started = Clock::now();
    while (!trailerSent.load() && wizard.IsRunActive()) {
      ASSERT_LT(Clock::now() - started, std::chrono::seconds(30)) << "run " << i << " never ended";
      std::this_thread::yield();
    }
    const Clock::time_point from = Clock::now();
    if (i < 20) {
      // Measure only: how long the end of a run takes here.
      runThread.WaitForRuns();
      tail = std::max(tail, Clock::now() - from);
      wizard.OnCancelButton();
    } else {
      const Clock::duration delay = tail * (i % (kSpreadSteps + 5)) / kSpreadSteps;
      while (Clock::now() - from < delay) {
      }
      wizard.OnCancelButton();
      runThread.WaitForRuns();
    }

    ASSERT_FALSE(wizard.IsRunActive()) << "run " << i;
    const std::vector<FinalRepaint> repaints = Repaints();
    ASSERT_EQ(repaints.size(), repaintsBefore + 1) << "run " << i;
    const uint8_t ended = repaints.back().state;
    ASSERT_TRUE(ended == STATE_COMPLETE || ended == STATE_CANCELLED)
        << "run " << i << " ended in state " << int{ended};
    (ended == STATE_COMPLETE ? endedComplete : endedCancelled)++;
    // Pressed during the run or after it: either way the wizard is on the
    // cancelled page now, never stuck cancelling.
    ASSERT_EQ(wizard.State(), STATE_CANCELLED) << "run " << i;
    int32_t count = 0;
    ASSERT_EQ(GetAllDeviceNum(&count), -2) << "run " << i;  // device table closed

    wizard.OnBackButton();  // to the start page for the next run
    ASSERT_EQ(wizard.State(), STATE_WELCOME);
  }
  // How the presses fell: runs that saw the cancel, runs already complete.
  std::printf("runs %d: ended complete %d, ended cancelled %d\n", kRuns, endedComplete,
              endedCancelled);
}

}  // namespace
