// A wizard on a recording window with the setup run installed (settle pause
// shortened to nothing), and virtual meters on the simulated bus. A run is
// started with the Run button, as the operator does, and the test waits for
// its thread to end.
#ifndef LX40_TESTS_WIZARD_RUN_RUN_FIXTURE_H
#define LX40_TESTS_WIZARD_RUN_RUN_FIXTURE_H

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "meter_rig.h"
#include "recording_window.h"
#include "setup_run.h"
#include "setup_run_thread.h"
#include "test_wizard.h"
#include "wizard_core.h"

// The recording window, also keeping every range the progress bar was given.
class RunWindow : public RecordingWindow {
 public:
  void SetProgressRange(int32_t low, int32_t high) override {
    {
      std::lock_guard<std::mutex> lock(m_rangeLock);
      m_ranges.push_back(high);
    }
    RecordingWindow::SetProgressRange(low, high);
  }
  std::vector<int32_t> Ranges() const {
    std::lock_guard<std::mutex> lock(m_rangeLock);
    return m_ranges;
  }

 private:
  mutable std::mutex m_rangeLock;
  std::vector<int32_t> m_ranges;
};

// What the window showed when the run sent its final repaint, before the
// final page was drawn.
struct FinalRepaint {
  std::vector<std::string> body;
  uint8_t state = 0;
};

inline SetupRunOptions NoSettleWait() {
  SetupRunOptions options;
  options.settleStep = std::chrono::microseconds(0);
  return options;
}

class RunFixture : public ::testing::Test {
 protected:
  explicit RunFixture(ResourceSource& tables) : wizard(window, tables) {}

  void SetUp() override {
    wizard.InitCore();
    ASSERT_TRUE(wizard.LoadSensorTables());
    window.SetRepaintHandler([this] {
      {
        std::lock_guard<std::mutex> lock(repaintLock);
        repaintLog.push_back({window.BodyLines(), wizard.State()});
      }
      wizard.PaintPage();
    });
  }
  void TearDown() override { runThread.WaitForRuns(); }

  // Presses Run and waits until the run's thread has ended.
  void Run() {
    ASSERT_EQ(wizard.State(), STATE_WELCOME);
    wizard.OnNextButton();
    runThread.WaitForRuns();
  }

  std::vector<FinalRepaint> Repaints() {
    std::lock_guard<std::mutex> lock(repaintLock);
    return repaintLog;
  }

  rig::MeterBench bench;
  RunWindow window;
  TestWizard wizard;
  std::mutex repaintLock;
  std::vector<FinalRepaint> repaintLog;
  // Last: destroyed first, so it waits for the run before the wizard goes.
  CSetupRunThread runThread{wizard, NoSettleWait()};
};

#endif
