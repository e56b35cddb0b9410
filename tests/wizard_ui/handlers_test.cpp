#include <atomic>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "page_text.h"
#include "wizard_fixture.h"

namespace {

using ::testing::ElementsAre;

constexpr SystemCommand kClose = SystemCommand::Close;
constexpr SystemCommand kAbout = SystemCommand::About;
constexpr SystemCommand kOther = SystemCommand::Other;  // move, minimise, ...

class HandlersTest : public WizardFixture {
 protected:
  // Run pressed on the start page with a starter that only records the
  // call: the wizard believes a run thread exists.
  void PressRunWithIdleRun() {
    wizard.SetRunStarter([this](CWizardCore& started) {
      ++starts;
      activeWhenStarted = started.IsRunActive();
      return true;
    });
    wizard.StoreState(STATE_WELCOME);
    wizard.ShowPage();
    wizard.OnNextButton();
  }
  // What the run does once the meters are open.
  void RunOpenedTheMeters() {
    wizard.AdvanceState();
    wizard.ShowPage();
  }

  bool AllButtonsDisabled() const {
    return !window.Button(0).enabled && !window.Button(1).enabled && !window.Button(2).enabled;
  }

  int starts = 0;
  bool activeWhenStarted = false;
};

TEST_F(HandlersTest, CancelOnTheStartPageShowsTheCancelledPage) {
  wizard.ShowPage();
  wizard.OnCancelButton();
  EXPECT_EQ(wizard.State(), STATE_CANCELLED);
  EXPECT_THAT(window.TitleLines(), ElementsAre("Setup was cancelled."));
  EXPECT_THAT(window.BodyLines(), ElementsAre("Data Setup was cancelled before it was completed."));
  EXPECT_FALSE(window.EndResult().has_value());
  EXPECT_TRUE(window.Button(1).enabled);
}

TEST_F(HandlersTest, BackFromTheCancelledAndCompletePagesShowsTheStartPage) {
  for (uint8_t from : {uint8_t{STATE_CANCELLED}, uint8_t{STATE_COMPLETE}}) {
    ShowState(from);
    wizard.OnBackButton();
    EXPECT_EQ(wizard.State(), STATE_WELCOME) << int{from};
    EXPECT_EQ(window.BodyLines().back(), "  8010   8011   ") << int{from};
    EXPECT_EQ(window.Button(2).caption, "R&un") << int{from};
  }
}

TEST_F(HandlersTest, CloseButtonEndsTheWizardWithCancel) {
  for (uint8_t state : {uint8_t{STATE_COMPLETE}, uint8_t{STATE_CANCELLED}}) {
    ShowState(state);
    wizard.OnNextButton();
    EXPECT_EQ(window.EndResult(), 2);
    EXPECT_EQ(wizard.State(), state);
  }
}

TEST_F(HandlersTest, RunDisablesEveryButtonAndStartsTheRun) {
  PressRunWithIdleRun();
  EXPECT_EQ(starts, 1);
  EXPECT_TRUE(activeWhenStarted);  // marked before the thread could run
  EXPECT_TRUE(wizard.IsRunActive());
  EXPECT_EQ(wizard.State(), STATE_CONNECTING);
  EXPECT_TRUE(AllButtonsDisabled());
  EXPECT_EQ(window.Button(0).caption, "&Cancel");
  EXPECT_EQ(window.Button(1).caption, "< &Back");
  EXPECT_EQ(window.Button(2).caption, "&Next >");
  EXPECT_THAT(window.TitleLines(), ElementsAre("Performing Data Setup."));
  // The body keeps the start page's texts until the run writes.
  EXPECT_EQ(window.BodyLines().back(), "  8010   8011   ");
}

TEST_F(HandlersTest, RunThatCannotStartShowsTheCancelledPage) {
  wizard.SetRunStarter([](CWizardCore&) { return false; });
  wizard.ShowPage();
  wizard.OnNextButton();
  EXPECT_EQ(wizard.State(), STATE_CANCELLED);
  EXPECT_FALSE(wizard.IsRunActive());
  EXPECT_THAT(window.TitleLines(), ElementsAre("Setup was cancelled."));
  EXPECT_TRUE(window.Button(1).enabled);
  EXPECT_TRUE(window.Button(2).enabled);

  wizard.OnBackButton();  // and the operator can try again
  EXPECT_EQ(wizard.State(), STATE_WELCOME);
}

TEST_F(HandlersTest, RunWithoutAStarterShowsTheCancelledPage) {
  wizard.ShowPage();
  wizard.OnNextButton();
  EXPECT_EQ(wizard.State(), STATE_CANCELLED);
  EXPECT_FALSE(wizard.IsRunActive());
}

TEST_F(HandlersTest, RunEndingBeforeTheStarterReturnsStaysEnded) {
  wizard.SetRunStarter([](CWizardCore& started) {
    started.AdvanceState();
    started.FinishRun(STATE_COMPLETE);
    return true;
  });
  wizard.OnNextButton();
  EXPECT_EQ(wizard.State(), STATE_COMPLETE);
  EXPECT_FALSE(wizard.IsRunActive());
}

TEST_F(HandlersTest, CancelDuringARunOnlyRequestsTheStop) {
  PressRunWithIdleRun();
  RunOpenedTheMeters();
  EXPECT_TRUE(window.Button(0).enabled);
  EXPECT_EQ(window.FocusedButton(), 0);
  Status().WriteString(403, true).WriteText("1>");

  wizard.OnCancelButton();
  EXPECT_EQ(wizard.State(), STATE_CANCELLING);
  EXPECT_TRUE(wizard.IsRunActive());
  EXPECT_TRUE(AllButtonsDisabled());
  EXPECT_THAT(window.TitleLines(), ElementsAre("Performing Data Setup."));
  EXPECT_THAT(window.BodyLines(), ElementsAre("<Remaining units: 1>"));
  EXPECT_FALSE(window.EndResult().has_value());
  // Run, Back and Close do nothing meanwhile.
  wizard.OnNextButton();
  wizard.OnBackButton();
  EXPECT_EQ(wizard.State(), STATE_CANCELLING);
  EXPECT_FALSE(window.EndResult().has_value());

  // The run notices, finishes and repaints: the cancelled page.
  EXPECT_EQ(wizard.FinishRun(STATE_CANCELLED), STATE_CANCELLED);
  window.RepaintNow();
  EXPECT_FALSE(wizard.IsRunActive());
  EXPECT_THAT(window.TitleLines(), ElementsAre("Setup was cancelled."));
  EXPECT_TRUE(window.Button(1).enabled);
}

TEST_F(HandlersTest, CancelAfterTheRunEndedCancelsAtOnce) {
  PressRunWithIdleRun();
  RunOpenedTheMeters();
  wizard.FinishRun(STATE_COMPLETE);
  wizard.OnCancelButton();
  EXPECT_EQ(wizard.State(), STATE_CANCELLED);
}

struct FinishCase {
  uint8_t stateBefore;
  WizardState asked;
  WizardState stored;
};

TEST_F(HandlersTest, FinishRunStoresTheFinalStateAndEndsTheRun) {
  const FinishCase cases[] = {
      {STATE_RUNNING, STATE_COMPLETE, STATE_COMPLETE},
      {STATE_CANCELLING, STATE_COMPLETE, STATE_CANCELLED},  // pending cancel request
      {STATE_RUNNING, STATE_CANCELLED, STATE_CANCELLED},
      {STATE_CONNECTING, STATE_CANCELLED, STATE_CANCELLED},
      {STATE_CANCELLING, STATE_CANCELLED, STATE_CANCELLED},
      {STATE_RUNNING, STATE_RUNNING, STATE_CANCELLED},  // never a run state without a run
      {STATE_RUNNING, STATE_CANCELLING, STATE_CANCELLED},
  };
  for (const FinishCase& c : cases) {
    PressRunWithIdleRun();
    wizard.StoreState(static_cast<WizardState>(c.stateBefore));
    EXPECT_EQ(wizard.FinishRun(c.asked), c.stored) << int{c.stateBefore} << " " << int{c.asked};
    EXPECT_EQ(wizard.State(), c.stored);
    EXPECT_FALSE(wizard.IsRunActive());
  }
}

struct SysCommandCase {
  uint8_t state;
  SystemCommand command;
  SysCommandAction action;
};

TEST_F(HandlersTest, SystemCommandDecisionPerState) {
  const SysCommandCase cases[] = {
      {STATE_WELCOME, kClose, SysCommandAction::PressCancel},
      {STATE_WELCOME, kAbout, SysCommandAction::ShowAbout},
      {STATE_WELCOME, kOther, SysCommandAction::PlatformDefault},
      {STATE_COMPLETE, kClose, SysCommandAction::PressClose},
      {STATE_COMPLETE, kAbout, SysCommandAction::ShowAbout},
      {STATE_COMPLETE, kOther, SysCommandAction::PlatformDefault},
      {STATE_CANCELLED, kClose, SysCommandAction::PressClose},
      {STATE_CANCELLED, kAbout, SysCommandAction::ShowAbout},
      {STATE_CANCELLED, kOther, SysCommandAction::PlatformDefault},
  };
  for (const SysCommandCase& c : cases) {
    wizard.StoreState(static_cast<WizardState>(c.state));
    EXPECT_EQ(wizard.DecideSysCommand(c.command), c.action)
        << int{c.state} << " " << int(c.command);
  }
  for (uint8_t state :
       {uint8_t{STATE_CONNECTING}, uint8_t{STATE_RUNNING}, uint8_t{STATE_CANCELLING}}) {
    wizard.StoreState(static_cast<WizardState>(state));
    for (SystemCommand command : {kClose, kAbout, kOther}) {
      EXPECT_EQ(wizard.DecideSysCommand(command), SysCommandAction::Ignore)
          << int{state} << " " << int(command);
    }
  }
}

TEST_F(HandlersTest, CloseFromTheSystemMenu) {
  ShowState(STATE_WELCOME);
  EXPECT_TRUE(wizard.OnSysCommand(kClose));
  EXPECT_EQ(wizard.State(), STATE_CANCELLED);
  EXPECT_THAT(window.TitleLines(), ElementsAre("Setup was cancelled."));
  EXPECT_FALSE(window.EndResult().has_value());

  EXPECT_TRUE(wizard.OnSysCommand(kClose));
  EXPECT_EQ(window.EndResult(), 2);
}

TEST_F(HandlersTest, SystemCommandsAreIgnoredDuringARun) {
  PressRunWithIdleRun();
  for (uint8_t state :
       {uint8_t{STATE_CONNECTING}, uint8_t{STATE_RUNNING}, uint8_t{STATE_CANCELLING}}) {
    wizard.StoreState(static_cast<WizardState>(state));
    for (SystemCommand command : {kClose, kAbout, kOther}) {
      EXPECT_TRUE(wizard.OnSysCommand(command));  // handled: swallowed
    }
    EXPECT_EQ(wizard.State(), state);
  }
  EXPECT_FALSE(window.EndResult().has_value());
  EXPECT_EQ(window.AboutBoxes(), 0);
  EXPECT_TRUE(wizard.IsRunActive());
}

TEST_F(HandlersTest, AboutAndOtherSystemCommands) {
  ShowState(STATE_COMPLETE);
  EXPECT_TRUE(wizard.OnSysCommand(kAbout));
  EXPECT_EQ(window.AboutBoxes(), 1);
  EXPECT_FALSE(wizard.OnSysCommand(kOther));  // the platform handles it
  EXPECT_EQ(wizard.State(), STATE_COMPLETE);
}

// A Cancel pressed just as the run ends, on the window thread, against the
// run's FinishRun and final repaint on its own thread. Whatever the order,
// no run is left and the wizard is not stuck in STATE_CANCELLING.
TEST_F(HandlersTest, CancelRacingTheRunsEndNeverLeavesCancellingWithoutARun) {
  constexpr int kRounds = 1000;
  for (int round = 0; round < kRounds; ++round) {
    PressRunWithIdleRun();
    RunOpenedTheMeters();
    std::atomic<bool> go{false};
    std::thread run([&] {
      while (!go.load()) std::this_thread::yield();
      wizard.FinishRun(STATE_COMPLETE);
      window.RepaintNow();
    });
    go.store(true);
    wizard.OnCancelButton();
    run.join();

    ASSERT_FALSE(wizard.IsRunActive()) << "round " << round;
    // Cancel before the end turns COMPLETE into CANCELLED; Cancel after it
    // finds no run and cancels at once.
    ASSERT_EQ(wizard.State(), STATE_CANCELLED) << "round " << round;
  }
  wizard.PaintPage();
  EXPECT_TRUE(window.Button(1).enabled);
  EXPECT_TRUE(window.Button(2).enabled);
}

}  // namespace
