// The wizard driven through its window, as an operator would, on simulated
// meters: each TEST is one scenario in a folder of its own with its own
// meter file, registered with ctest on its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "driven_wizard.h"
#include "exe_resources.h"
#include "poll.h"
#include "text.h"

namespace gui {
namespace {

// --- Meter files ------------------------------------------------------------

// Slots 1 and 3 hold the two tables the wizard loads.
constexpr char kOneMeterBothFilled[] = "[meter]\nserial = A12345678\nslots = 0101000\n";
constexpr char kOneMeterBatteryLow[] = "[meter]\nserial = A12345678\nbattery = low\n";
constexpr char kNoMeters[] = "# no meters attached\n";
constexpr char kOtherModel[] = "[meter]\nserial = C34567890\nmodel = LX30\n";
// Slow enough that a run can be watched and cancelled mid-table.
constexpr char kOneSlowMeter[] = "[meter]\nserial = A12345678\nlatency_us = 3000\n";
constexpr char kBadMeterFile[] = "[meter]\nserial = A12345678\nbattery = empty\n";

// --- What the wizard shows ---------------------------------------------------

const std::wstring kCaption = L"Vantor LX40 Sensor Data Setup";
const std::wstring kCaptionJapanese = L"Vantor LX40 Setup Utility";
const std::wstring kProgramName = L"Sensorwiz";
const std::wstring kSignalError = L"Signal error. Check the USB connection.";
const std::wstring kNoBattery = L"There is no battery. Replace the battery.";
const std::wstring kAlreadyHasData = L"This device already has data.";
const std::wstring kApplicationError = L"Application error.";

std::string Describe(const Buttons& buttons) {
  std::string text;
  for (const ButtonState& b : buttons) {
    text += "[" + ToUtf8(b.text) + (b.enabled ? "" : " disabled") +
            (b.isDefault ? " default" : "") + (b.focused ? " focused" : "") + "] ";
  }
  return text;
}

std::vector<std::string> Texts(const std::vector<OwnedDialog>& dialogs) {
  std::vector<std::string> texts;
  for (const OwnedDialog& d : dialogs) texts.push_back(ToUtf8(d.text));
  return texts;
}

// A message box of the wizard: owned by it, the program's name as caption,
// one OK button, no icon.
void ExpectWizardMessageBox(const OwnedDialog& box) {
  EXPECT_TRUE(box.ownedByWizard);
  EXPECT_EQ(ToUtf8(box.caption), ToUtf8(kProgramName));
  EXPECT_EQ(box.buttonCount, 1);
  EXPECT_TRUE(box.hasOkButton);
  EXPECT_FALSE(box.hasIcon);
}

class WizardScenario : public ::testing::Test {
 protected:
  explicit WizardScenario(const Captions& captions = EnglishCaptions()) : wizard_(captions) {}

  // Starts the wizard on the meters of `meterConfig` ("" for the default
  // two meters with empty slots) and waits for the start page.
  void StartOn(const std::string& meterConfig) {
    Prepare(meterConfig);
    std::string error;
    ASSERT_TRUE(wizard_.Start(&error)) << error;
    ASSERT_TRUE(window().WaitForPage(Page::kStart, kStepTimeoutMs))
        << "buttons: " << Describe(window().ReadButtons());
  }

  void Prepare(const std::string& meterConfig) {
    // A parameterised scenario's name holds a '/', which would make a folder
    // in a folder.
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '_');
    std::string error;
    ASSERT_TRUE(wizard_.Prepare(name, meterConfig, &error)) << error;
  }

  WizardWindow& window() { return wizard_.Window(); }

  // Presses Run and follows the run to `page`, answering message boxes.
  std::vector<OwnedDialog> RunTo(Page page) {
    window().Click(kNextButton);
    std::vector<OwnedDialog> messages;
    EXPECT_TRUE(wizard_.RunToPage(page, &messages, kRunTimeoutMs))
        << "still on " << PageName(window().CurrentPage()) << ": "
        << Describe(window().ReadButtons());
    return messages;
  }

  void ExpectEndsAfter(int buttonId) {
    window().Click(buttonId);
    EXPECT_TRUE(wizard_.Process().WaitForExit(kStepTimeoutMs)) << "the wizard did not end";
  }

  void ExpectStillRunningAfterAWhile(Page page) {
    Sleep(300);
    EXPECT_TRUE(window().Exists());
    EXPECT_TRUE(wizard_.Process().Running());
    EXPECT_EQ(PageName(window().CurrentPage()), std::string(PageName(page)));
  }

  DrivenWizard wizard_;
};

// --- Start page, Cancel, Back, Close ---------------------------------------

TEST_F(WizardScenario, StartPageShowsTitleAndButtons) {
  StartOn("");
  EXPECT_EQ(ToUtf8(window().Caption()), ToUtf8(kCaption));
  const Buttons b = window().ReadButtons();
  EXPECT_EQ(ToUtf8(b[0].text), "&Cancel");
  EXPECT_TRUE(b[0].enabled);
  EXPECT_FALSE(b[0].isDefault);
  EXPECT_EQ(ToUtf8(b[1].text), "< &Back");
  EXPECT_FALSE(b[1].enabled);
  EXPECT_EQ(ToUtf8(b[2].text), "R&un");
  EXPECT_TRUE(b[2].enabled);
  EXPECT_TRUE(b[2].isDefault);
  EXPECT_TRUE(b[2].focused) << Describe(b);
  EXPECT_FALSE(window().Progress().exists);
  // Window 500 x 410 pixels.
  const RECT r = window().ScreenRect();
  EXPECT_EQ(r.right - r.left, 500);
  EXPECT_EQ(r.bottom - r.top, 410);
  // Nothing touches the meters before Run: the simulated bus is not built yet.
  EXPECT_EQ(ReadSimulatorLog(wizard_.Folder()), "");
}

TEST_F(WizardScenario, CancelShowsCancelledPageBackReturnsCloseEnds) {
  StartOn("");
  window().Click(kCancelButton);
  ASSERT_TRUE(window().WaitForPage(Page::kCancelled, kStepTimeoutMs))
      << Describe(window().ReadButtons());
  EXPECT_TRUE(window().ReadButtons()[2].focused);
  window().Click(kBackButton);
  ASSERT_TRUE(window().WaitForPage(Page::kStart, kStepTimeoutMs))
      << Describe(window().ReadButtons());
  window().Click(kCancelButton);
  ASSERT_TRUE(window().WaitForPage(Page::kCancelled, kStepTimeoutMs));
  ExpectEndsAfter(kNextButton);
}

// --- Whole runs ----------------------------------------------------------------

TEST_F(WizardScenario, RunOnTwoEmptyMetersCompletesThenContinueFindsThemFull) {
  StartOn("");
  window().Click(kNextButton);
  ASSERT_TRUE(window().WaitForPage(Page::kRunning, kStepTimeoutMs))
      << Describe(window().ReadButtons());
  EXPECT_TRUE(window().ReadButtons()[0].focused);
  std::vector<OwnedDialog> messages;
  ASSERT_TRUE(wizard_.RunToPage(Page::kComplete, &messages, kRunTimeoutMs))
      << Describe(window().ReadButtons());
  EXPECT_TRUE(messages.empty()) << ::testing::PrintToString(Texts(messages));
  const Buttons b = window().ReadButtons();
  EXPECT_FALSE(b[0].enabled);
  EXPECT_EQ(ToUtf8(b[1].text), "C&ontinue");
  EXPECT_EQ(ToUtf8(b[2].text), "C&lose");
  EXPECT_TRUE(b[2].isDefault);
  EXPECT_TRUE(b[2].focused) << Describe(b);
  EXPECT_FALSE(window().Progress().exists);
  // Without a meter file the simulator built its two default meters.
  const std::string log = ReadSimulatorLog(wizard_.Folder());
  EXPECT_NE(log.find("default meters: A12345678, B23456789"), std::string::npos) << log;

  // Continue: the start page again; a second run finds both meters full.
  window().Click(kBackButton);
  ASSERT_TRUE(window().WaitForPage(Page::kStart, kStepTimeoutMs));
  messages = RunTo(Page::kComplete);
  ASSERT_EQ(messages.size(), 2u) << ::testing::PrintToString(Texts(messages));
  for (const OwnedDialog& box : messages) {
    EXPECT_EQ(ToUtf8(box.text), ToUtf8(kAlreadyHasData));
    ExpectWizardMessageBox(box);
  }
  ExpectEndsAfter(kNextButton);
}

TEST_F(WizardScenario, RightAfterRunAllButtonsAreDisabledUntilTheMetersAreOpen) {
  // Each answer takes 0.3 s, so opening the meter takes a while.
  StartOn("[meter]\nserial = A12345678\nslots = 0101000\nlatency_us = 300000\n");
  window().Click(kNextButton);
  ASSERT_TRUE(window().WaitForPage(Page::kBusy, kStepTimeoutMs))
      << Describe(window().ReadButtons());
  for (const ButtonState& b : window().ReadButtons()) EXPECT_FALSE(b.focused);
  // Cancel becomes available (and focused) once the meter is open.
  ASSERT_TRUE(wizard_.RunToPage(Page::kRunning, nullptr, kStepTimeoutMs))
      << Describe(window().ReadButtons());
  EXPECT_TRUE(window().ReadButtons()[0].focused);
  std::vector<OwnedDialog> messages;
  ASSERT_TRUE(wizard_.RunToPage(Page::kComplete, &messages, kRunTimeoutMs));
  EXPECT_EQ(messages.size(), 1u);
}

// Runs that end with one message box, each on its own meter file.
struct OneMessageCase {
  const char* name;
  const char* meterFile;
  Page endPage;
  const wchar_t* message;
  std::vector<std::string> inSimulatorLog;  // why the simulator built what it did
};

void PrintTo(const OneMessageCase& c, std::ostream* os) { *os << c.name; }

const OneMessageCase kOneMessageCases[] = {
    {"MeterWithBothTablesGivesNoticeAndCompletes",
     kOneMeterBothFilled,
     Page::kComplete,
     kAlreadyHasData.c_str(),
     {}},
    {"LowBatteryEndsOnCancelledPage",
     kOneMeterBatteryLow,
     Page::kCancelled,
     kNoBattery.c_str(),
     {}},
    {"NoMeterGivesSignalError", kNoMeters, Page::kCancelled, kSignalError.c_str(), {}},
    // A device that is not an LX40 ends the run with an empty message.
    {"MeterOfAnotherModelGivesEmptyMessage", kOtherModel, Page::kCancelled, L"", {}},
    {"BadMeterFileGivesNoMetersAndSaysWhyInTheLog",
     kBadMeterFile,
     Page::kCancelled,
     kSignalError.c_str(),
     {"line 3", "no meters"}},
};

class OneMessageScenario : public WizardScenario,
                           public ::testing::WithParamInterface<OneMessageCase> {};

TEST_P(OneMessageScenario, RunEndsWithOneMessage) {
  const OneMessageCase& c = GetParam();
  StartOn(c.meterFile);
  const std::vector<OwnedDialog> messages = RunTo(c.endPage);
  ASSERT_EQ(messages.size(), 1u) << ::testing::PrintToString(Texts(messages));
  EXPECT_EQ(ToUtf8(messages[0].text), ToUtf8(c.message));
  ExpectWizardMessageBox(messages[0]);
  EXPECT_FALSE(window().Progress().exists);
  const std::string log = ReadSimulatorLog(wizard_.Folder());
  for (const std::string& part : c.inSimulatorLog) {
    EXPECT_NE(log.find(part), std::string::npos) << log;
  }
}

INSTANTIATE_TEST_SUITE_P(Runs, OneMessageScenario, ::testing::ValuesIn(kOneMessageCases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// --- A meter that hangs or is pulled out ----------------------------------------
// (run with LX40_SETTLE_MS=0: see CMakeLists.txt)

TEST_F(WizardScenario, MeterGoneHungMidTableGivesSignalErrorSoon) {
  // From exchange 300 (in the long table) no read completes; each ends idle
  // after 200 ms. Every record waiting that long would take minutes.
  StartOn("[meter]\nserial = A12345678\nhang_from = 300\nread_limit_ms = 200\n");
  const DWORD start = GetTickCount();
  const std::vector<OwnedDialog> messages = RunTo(Page::kCancelled);
  EXPECT_LT(GetTickCount() - start, 60000u);
  ASSERT_EQ(messages.size(), 1u) << ::testing::PrintToString(Texts(messages));
  EXPECT_EQ(ToUtf8(messages[0].text), ToUtf8(kSignalError));
  ExpectWizardMessageBox(messages[0]);
  EXPECT_FALSE(window().Progress().exists);
}

TEST_F(WizardScenario, MeterGonePulledOutMidTableThenBackIsSetUpByTheNextRun) {
  // Pulled out at exchange 400 and back in its port 300 ms later.
  StartOn("[meter]\nserial = A12345678\nunplug_at = 400\nreplug_after_ms = 300\n");
  std::vector<OwnedDialog> messages = RunTo(Page::kCancelled);
  ASSERT_EQ(messages.size(), 1u) << ::testing::PrintToString(Texts(messages));
  EXPECT_EQ(ToUtf8(messages[0].text), ToUtf8(kSignalError));
  window().Click(kBackButton);
  ASSERT_TRUE(window().WaitForPage(Page::kStart, kStepTimeoutMs));
  Sleep(400);
  messages = RunTo(Page::kComplete);
  EXPECT_TRUE(messages.empty()) << ::testing::PrintToString(Texts(messages));
}

TEST_F(WizardScenario, MeterGonePulledOutWhileOpeningIsNotReportedComplete) {
  // Exchange 2 is the identification asked while the meters are opened.
  StartOn("[meter]\nserial = A12345678\nunplug_at = 2\n");
  const std::vector<OwnedDialog> messages = RunTo(Page::kCancelled);
  ASSERT_EQ(messages.size(), 1u) << ::testing::PrintToString(Texts(messages));
  EXPECT_EQ(ToUtf8(messages[0].text), ToUtf8(kSignalError));
}

// --- Cancel during a run ------------------------------------------------------

TEST_F(WizardScenario, CancelDuringRunFinishesTheTableAndItsPauseFirst) {
  StartOn(kOneSlowMeter);
  window().Click(kNextButton);
  // Cancel while the first table is being sent.
  ASSERT_TRUE(WaitUntil(
      [&] {
        const ProgressState p = window().Progress();
        return window().CurrentPage() == Page::kRunning && p.answered && p.position > 0;
      },
      kRunTimeoutMs))
      << Describe(window().ReadButtons());
  const ProgressState atCancel = window().Progress();
  window().Click(kCancelButton);
  ASSERT_TRUE(window().WaitForPage(Page::kBusy, kStepTimeoutMs))
      << Describe(window().ReadButtons());
  EXPECT_TRUE(window().Progress().exists) << "the run stopped at once";

  // Until the cancelled page: the bar keeps the first table's range and
  // runs through the records and the 3 s pause; no second table starts.
  int lastPosition = 0;
  bool otherRange = false;
  bool pageChangedEarly = false;
  ASSERT_TRUE(WaitUntil(
      [&] {
        const Page page = window().CurrentPage();
        if (page == Page::kCancelled) return true;
        if (page != Page::kBusy) pageChangedEarly = true;
        const ProgressState p = window().Progress();
        if (p.exists && p.answered) {
          if (p.high != atCancel.high) otherRange = true;
          lastPosition = std::max(lastPosition, p.position);
        }
        return false;
      },
      kRunTimeoutMs));
  EXPECT_FALSE(pageChangedEarly);
  EXPECT_FALSE(otherRange);
  // The pause fills the last 3000 of the range (the bar stops 24 short).
  EXPECT_GT(lastPosition, atCancel.high - 24 - 600) << "range " << atCancel.high;
  EXPECT_FALSE(window().Progress().exists);
  OwnedDialog box;
  EXPECT_FALSE(window().FindOwnedDialog(&box)) << ToUtf8(box.text);
  ExpectEndsAfter(kNextButton);
}

// --- System menu and title bar -------------------------------------------------

TEST_F(WizardScenario, TitleBarCloseOnStartPageCancelsAndOnCancelledPageEnds) {
  StartOn("");
  window().PostSysCommand(SC_CLOSE);
  ASSERT_TRUE(window().WaitForPage(Page::kCancelled, kStepTimeoutMs))
      << Describe(window().ReadButtons());
  // The low four bits of a system command are the system's own: still Close.
  window().PostSysCommand(SC_CLOSE | 0x2);
  EXPECT_TRUE(wizard_.Process().WaitForExit(kStepTimeoutMs));
}

TEST_F(WizardScenario, TitleBarCloseOnCompletePageEnds) {
  StartOn(kOneMeterBothFilled);
  RunTo(Page::kComplete);
  window().PostSysCommand(SC_CLOSE);
  EXPECT_TRUE(wizard_.Process().WaitForExit(kStepTimeoutMs));
}

TEST_F(WizardScenario, SystemCommandsAndDisabledButtonsAreIgnoredDuringRun) {
  StartOn(kOneSlowMeter);
  window().Click(kNextButton);
  ASSERT_TRUE(window().WaitForPage(Page::kRunning, kRunTimeoutMs));
  const RECT before = window().ScreenRect();
  const struct {
    const char* name;
    WPARAM command;
  } commands[] = {
      {"close", SC_CLOSE}, {"move", SC_MOVE}, {"minimise", SC_MINIMIZE}, {"about", kAboutCommand}};
  for (const auto& c : commands) {
    SCOPED_TRACE(c.name);
    window().PostSysCommand(c.command);
    ExpectStillRunningAfterAWhile(Page::kRunning);
    EXPECT_FALSE(window().Minimised());
    const RECT now = window().ScreenRect();
    EXPECT_TRUE(EqualRect(&before, &now));
    OwnedDialog box;
    EXPECT_FALSE(window().FindOwnedDialog(&box)) << ToUtf8(box.caption);
  }
  // Commands for the disabled buttons change nothing either.
  window().PostButtonCommand(kNextButton);
  window().PostButtonCommand(kBackButton);
  ExpectStillRunningAfterAWhile(Page::kRunning);
  // The run itself is undisturbed.
  std::vector<OwnedDialog> messages;
  ASSERT_TRUE(wizard_.RunToPage(Page::kComplete, &messages, kRunTimeoutMs));
  EXPECT_TRUE(messages.empty());
}

TEST_F(WizardScenario, AboutBoxShowsVersionAndMakerOnStartAndCancelledPages) {
  StartOn("");
  for (const Page page : {Page::kStart, Page::kCancelled}) {
    SCOPED_TRACE(PageName(page));
    if (page == Page::kCancelled) {
      window().Click(kCancelButton);
      ASSERT_TRUE(window().WaitForPage(Page::kCancelled, kStepTimeoutMs));
    }
    window().PostSysCommand(kAboutCommand);
    OwnedDialog about;
    ASSERT_TRUE(window().WaitForOwnedDialog(&about, kStepTimeoutMs));
    EXPECT_TRUE(about.ownedByWizard);
    EXPECT_EQ(ToUtf8(about.caption), "Version");
    EXPECT_TRUE(about.hasOkButton);
    EXPECT_FALSE(IsWindowEnabled(window().Handle())) << "the About box is not modal";
    const HWND text = GetDlgItem(about.window, kAboutText);
    EXPECT_NE(GetWindowLongPtrW(text, GWL_STYLE) & SS_NOPREFIX, 0);
    // Four strings, each followed by two line feeds.
    std::string body = ToUtf8(about.text);
    for (size_t at; (at = body.find('\r')) != std::string::npos;) body.erase(at, 1);
    std::vector<std::string> parts;
    for (size_t start = 0;;) {
      const size_t end = body.find("\n\n", start);
      if (end == std::string::npos) {
        parts.push_back(body.substr(start));
        break;
      }
      parts.push_back(body.substr(start, end - start));
      start = end + 2;
    }
    ASSERT_EQ(parts.size(), 5u) << body;
    EXPECT_EQ(parts[0], "Vantor LX40 Sensor Data Setup");
    EXPECT_EQ(parts[1], "Version 1, 0, 0, 0");
    EXPECT_FALSE(parts[2].empty());
    EXPECT_FALSE(parts[3].empty());
    EXPECT_EQ(parts[4], "");
    ASSERT_TRUE(window().DismissOwnedDialog(about, kStepTimeoutMs));
    EXPECT_TRUE(window().WaitForPage(page, kStepTimeoutMs));
  }
}

// --- Start-up ---------------------------------------------------------------------

TEST_F(WizardScenario, SecondInstanceEndsAtOnceWithoutWindow) {
  StartOn("");
  WizardProcess second;
  ASSERT_TRUE(second.Start(wizard_.Folder()));
  bool sawWindow = false;
  const bool ended = WaitUntil(
      [&] {
        if (CountTopLevelWindows(second.Id(), true) > 0) sawWindow = true;
        return !second.Running();
      },
      kStepTimeoutMs, 5);
  EXPECT_TRUE(ended);
  EXPECT_FALSE(sawWindow);
  EXPECT_EQ(window().CurrentPage(), Page::kStart);

  // Once the first has ended, a new start runs normally.
  window().Click(kCancelButton);
  ASSERT_TRUE(window().WaitForPage(Page::kCancelled, kStepTimeoutMs));
  ExpectEndsAfter(kNextButton);
  DrivenWizard third;
  std::string error;
  ASSERT_TRUE(third.Prepare("SecondInstanceEndsAtOnceWithoutWindow", "", &error)) << error;
  ASSERT_TRUE(third.Start(&error)) << error;
  EXPECT_TRUE(third.Window().WaitForPage(Page::kStart, kStepTimeoutMs));
}

TEST_F(WizardScenario, MissingSensorTableEndsAtStartWithApplicationError) {
  Prepare("");
  const std::wstring exe = wizard_.Folder() + L"Sensorwiz.exe";
  ASSERT_TRUE(CopyResourcesExcept(DriverFolder() + L"Sensorwiz.exe", exe, L"BIN_FILE", 138));
  ASSERT_TRUE(HasResource(exe, L"BIN_FILE", 132));
  ASSERT_TRUE(HasResource(exe, MAKEINTRESOURCEW(5), 102));  // RT_DIALOG
  std::string error;
  ASSERT_TRUE(wizard_.Start(&error, false)) << error;
  OwnedDialog box;
  ASSERT_TRUE(window().WaitForOwnedDialog(&box, kStepTimeoutMs));
  EXPECT_EQ(ToUtf8(box.text), ToUtf8(kApplicationError));
  ExpectWizardMessageBox(box);
  // No page: the wizard has not been shown.
  EXPECT_FALSE(IsWindowVisible(window().Handle()));
  ASSERT_TRUE(window().DismissOwnedDialog(box, kStepTimeoutMs));
  EXPECT_TRUE(wizard_.Process().WaitForExit(kStepTimeoutMs));
}

// The simulator build takes the settle pause from LX40_SETTLE_MS. A value it
// cannot take is said at start-up, in lx40's words, and the wizard ends
// before its first page, as on a missing table.
TEST_F(WizardScenario, MalformedSettleSettingEndsAtStartWithItsMessage) {
  Prepare("");
  // The wizard inherits the driver's environment; the driver's own is put
  // back at once.
  wchar_t before[64] = {};
  const bool had = GetEnvironmentVariableW(L"LX40_SETTLE_MS", before, 64) > 0;
  SetEnvironmentVariableW(L"LX40_SETTLE_MS", L"soon");
  std::string error;
  const bool started = wizard_.Start(&error, false);
  SetEnvironmentVariableW(L"LX40_SETTLE_MS", had ? before : nullptr);
  ASSERT_TRUE(started) << error;
  OwnedDialog box;
  ASSERT_TRUE(window().WaitForOwnedDialog(&box, kStepTimeoutMs));
  EXPECT_EQ(ToUtf8(box.text),
            "LX40_SETTLE_MS must be a number of milliseconds from 0 to 600000, not 'soon'");
  ExpectWizardMessageBox(box);
  EXPECT_FALSE(IsWindowVisible(window().Handle()));
  ASSERT_TRUE(window().DismissOwnedDialog(box, kStepTimeoutMs));
  EXPECT_TRUE(wizard_.Process().WaitForExit(kStepTimeoutMs));
}

// --- Keyboard ------------------------------------------------------------------

// The keys reach the wizard as typed ones do: through the dialog manager.
TEST_F(WizardScenario, EscapeAndEnterActOnTheStartAndCompletePages) {
  StartOn(kOneMeterBothFilled);
  window().PressKey(VK_ESCAPE);  // as the title bar's close: the cancelled page
  ASSERT_TRUE(window().WaitForPage(Page::kCancelled, kStepTimeoutMs))
      << Describe(window().ReadButtons());
  window().Click(kBackButton);
  ASSERT_TRUE(window().WaitForPage(Page::kStart, kStepTimeoutMs));
  window().PressKey(VK_RETURN);  // the default button, Run
  std::vector<OwnedDialog> messages;
  ASSERT_TRUE(wizard_.RunToPage(Page::kComplete, &messages, kRunTimeoutMs))
      << Describe(window().ReadButtons());
  EXPECT_EQ(messages.size(), 1u);
  window().PressKey(VK_ESCAPE);  // as Close
  EXPECT_TRUE(wizard_.Process().WaitForExit(kStepTimeoutMs));
}

TEST_F(WizardScenario, EscapeAndEnterDuringRunDoNotEndTheWizard) {
  StartOn(kOneSlowMeter);
  window().Click(kNextButton);
  ASSERT_TRUE(window().WaitForPage(Page::kRunning, kRunTimeoutMs));
  window().PressKey(VK_ESCAPE);
  ExpectStillRunningAfterAWhile(Page::kRunning);
  // Enter presses the focused default button, Cancel: the run stops after
  // its table, and the wizard stays.
  window().PressKey(VK_RETURN);
  Sleep(300);
  EXPECT_TRUE(wizard_.Process().Running());
  window().PressKey(VK_ESCAPE);
  window().PressKey(VK_RETURN);
  std::vector<OwnedDialog> messages;
  EXPECT_TRUE(wizard_.RunToPage(Page::kCancelled, &messages, kRunTimeoutMs))
      << Describe(window().ReadButtons());
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(wizard_.Process().Running());
}

// --- Pixels --------------------------------------------------------------------

TEST_F(WizardScenario, SeparatorsTitleBandAndBodyHaveTheirColours) {
  StartOn("");
  Sleep(300);  // the page drawing reaches the screen
  const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const COLORREF white = RGB(255, 255, 255);
  for (const int x : {0, 100, 250, 493}) {
    SCOPED_TRACE(x);
    // The band's fill ends before row 69 (its bottom edge is exclusive).
    EXPECT_EQ(window().ClientPixel(x, 68), white);
    EXPECT_EQ(window().ClientPixel(x, 69), face);
    EXPECT_EQ(window().ClientPixel(x, 70), shadow);
    EXPECT_EQ(window().ClientPixel(x, 71), white);
    EXPECT_EQ(window().ClientPixel(x, 72), face);
    EXPECT_EQ(window().ClientPixel(x, 339), face);
    EXPECT_EQ(window().ClientPixel(x, 340), shadow);
    EXPECT_EQ(window().ClientPixel(x, 341), white);
    EXPECT_EQ(window().ClientPixel(x, 342), face);
  }
  // The white title band, corners and below the two title lines.
  EXPECT_EQ(window().ClientPixel(0, 0), white);
  EXPECT_EQ(window().ClientPixel(493, 0), white);
  EXPECT_EQ(window().ClientPixel(250, 62), white);
  // The body area keeps the button face colour where no text is.
  EXPECT_EQ(window().ClientPixel(483, 175), face);
  EXPECT_EQ(window().ClientPixel(250, 300), face);
}

TEST_F(WizardScenario, ProgressBarSitsInPlaceAndVisiblyMoves) {
  StartOn(kOneSlowMeter);
  window().Click(kNextButton);
  ProgressState p;
  ASSERT_TRUE(WaitUntil(
      [&] {
        p = window().Progress();
        return p.visible && p.answered && p.high > p.low && p.position > (p.high - p.low) / 10;
      },
      kRunTimeoutMs));
  EXPECT_EQ(ToUtf8(p.className), "msctls_progress32");
  EXPECT_EQ(p.rect.left, 30);
  EXPECT_EQ(p.rect.top, 200);
  EXPECT_EQ(p.rect.right, 464);
  EXPECT_EQ(p.rect.bottom, 220);
  const int y = (p.rect.top + p.rect.bottom) / 2;
  const int width = p.rect.right - p.rect.left;
  const COLORREF filled = window().ClientPixel(p.rect.left + 3, y);
  const COLORREF empty = window().ClientPixel(p.rect.right - 3, y);
  ASSERT_NE(filled, empty);
  // The filled part grows past 60 % of the bar within the same table.
  const int firstHigh = p.high;
  EXPECT_NE(window().ClientPixel(p.rect.left + width * 6 / 10, y), filled);
  EXPECT_TRUE(
      WaitUntil([&] { return window().ClientPixel(p.rect.left + width * 6 / 10, y) == filled; },
                kRunTimeoutMs));
  EXPECT_EQ(window().Progress().high, firstHigh);
  ASSERT_TRUE(wizard_.RunToPage(Page::kComplete, nullptr, kRunTimeoutMs));
  EXPECT_FALSE(window().Progress().exists);
}

// --- Japanese --------------------------------------------------------------------

class WizardScenarioJapanese : public WizardScenario {
 protected:
  WizardScenarioJapanese() : WizardScenario(JapaneseCaptions()) {}
};

TEST_F(WizardScenarioJapanese, StartPageAndSignalErrorInJapanese) {
  StartOn(kNoMeters);
  EXPECT_EQ(ToUtf8(window().Caption()), ToUtf8(kCaptionJapanese));
  const Buttons b = window().ReadButtons();
  EXPECT_EQ(ToUtf8(b[0].text), ToUtf8(L"キャンセル(&C)"));
  EXPECT_EQ(ToUtf8(b[1].text), ToUtf8(L"< 戻る(&B)"));
  EXPECT_EQ(ToUtf8(b[2].text), ToUtf8(L"実行(&R)"));
  const std::vector<OwnedDialog> messages = RunTo(Page::kCancelled);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(ToUtf8(messages[0].text), ToUtf8(L"通信エラー。USBの接続を確認してください。"));
  EXPECT_EQ(ToUtf8(messages[0].caption), ToUtf8(kProgramName));
}

}  // namespace
}  // namespace gui
