// The wizard seen from outside, as a test or a demo drives it: its window
// and buttons, its message boxes and About box, its progress bar and the
// colours of its client area. Nothing here can wait for the wizard without
// a limit: commands and keys are posted, and every query (texts, the
// progress bar) is a message sent with a time limit.
#ifndef LX40_TESTS_GUI_WIZARD_WINDOW_H
#define LX40_TESTS_GUI_WIZARD_WINDOW_H

#include <windows.h>

#include <array>
#include <string>

namespace gui {

inline constexpr int kCancelButton = 601;
inline constexpr int kBackButton = 602;
inline constexpr int kNextButton = 603;
inline constexpr int kProgressBar = 700;
inline constexpr int kAboutText = 800;
inline constexpr WPARAM kAboutCommand = 16;

struct ButtonState {
  bool exists = false;
  std::wstring text;
  bool enabled = false;
  bool isDefault = false;  // BS_DEFPUSHBUTTON
  bool focused = false;    // has the keyboard focus of the wizard's thread
};
using Buttons = std::array<ButtonState, 3>;  // 601, 602, 603

// The captions a page shows; they tell the pages apart.
struct Captions {
  std::wstring cancel, back, next, run, close, cont;
};
const Captions& EnglishCaptions();
const Captions& JapaneseCaptions();

enum class Page { kUnknown, kStart, kBusy, kRunning, kComplete, kCancelled };
// kBusy: every button disabled (connecting, or cancelling).
const char* PageName(Page page);

// A top-level dialog of the wizard's process other than the wizard: a
// message box or the About box.
struct OwnedDialog {
  HWND window = nullptr;
  std::wstring caption;
  std::wstring text;  // message box: control 0xFFFF; About box: control 800
  bool ownedByWizard = false;
  int buttonCount = 0;  // push buttons
  bool hasOkButton = false;
  bool hasIcon = false;  // a static icon control
};

struct ProgressState {
  bool exists = false;
  bool visible = false;
  std::wstring className;
  RECT rect{};  // in the wizard's client coordinates
  int low = 0, high = 0, position = 0;
  bool answered = false;  // the position query was answered in time
};

class WizardWindow {
 public:
  WizardWindow(DWORD processId, const Captions& captions)
      : m_processId(processId), m_captions(captions) {}

  // Waits until the process has its wizard window (bounded); with
  // `visibleOnly` false also one that has not been shown (yet).
  bool Find(DWORD timeoutMs, bool visibleOnly = true);
  HWND Handle() const { return m_window; }
  bool Exists() const { return m_window != nullptr && IsWindow(m_window) != FALSE; }

  std::wstring Caption() const;
  Buttons ReadButtons() const;
  Page CurrentPage() const;
  bool WaitForPage(Page page, DWORD timeoutMs) const;

  // Presses a button as a click would: BM_CLICK posted to it.
  void Click(int buttonId) const;
  // The notification a click would produce, posted to the wizard directly
  // (it reaches the wizard also for a disabled button).
  void PostButtonCommand(int buttonId) const;
  void PostSysCommand(WPARAM command) const;
  // A key press posted to the control with the keyboard focus (or to the
  // wizard when none has it), so it passes the dialog manager as a typed
  // key does.
  void PressKey(UINT virtualKey) const;

  // Message boxes and the About box.
  bool FindOwnedDialog(OwnedDialog* dialog) const;
  bool WaitForOwnedDialog(OwnedDialog* dialog, DWORD timeoutMs) const;
  // Presses OK of the dialog and waits until it is gone.
  bool DismissOwnedDialog(const OwnedDialog& dialog, DWORD timeoutMs) const;

  ProgressState Progress() const;
  // Colour at a point of the client area, as the screen shows it.
  COLORREF ClientPixel(int x, int y) const;
  RECT ScreenRect() const;
  bool Minimised() const { return IsIconic(m_window) != FALSE; }
  DWORD ThreadId() const;

 private:
  DWORD m_processId;
  const Captions& m_captions;
  HWND m_window = nullptr;
};

// Every top-level window of the process (visible or not).
int CountTopLevelWindows(DWORD processId, bool visibleOnly);

}  // namespace gui

#endif
