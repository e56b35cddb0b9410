#include "wizard_window.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "poll.h"

namespace gui {

namespace {

constexpr int kMessageBoxTextId = 0xFFFF;
constexpr DWORD kQueryTimeoutMs = 500;

std::wstring WindowText(HWND window) {
  // WM_GETTEXT is carried across processes; GetWindowText alone reads only
  // captions of another process's windows on Windows, not control texts.
  // The time limit keeps a busy wizard from blocking the driver.
  wchar_t buffer[1024] = {};
  DWORD_PTR length = 0;
  if (SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer),
                          SMTO_ABORTIFHUNG, kQueryTimeoutMs, &length) == 0) {
    length = static_cast<DWORD_PTR>(std::max(GetWindowTextW(window, buffer, 1024), 0));
  }
  return std::wstring(buffer, std::min<size_t>(length, 1023));
}

std::wstring ClassName(HWND window) {
  wchar_t buffer[256];
  const int length = GetClassNameW(window, buffer, 256);
  return std::wstring(buffer, static_cast<size_t>(length > 0 ? length : 0));
}

std::vector<HWND> TopLevelWindows(DWORD processId) {
  struct Search {
    DWORD processId;
    std::vector<HWND> found;
  } search{processId, {}};
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == s->processId) s->found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool IsDialogClass(HWND window) { return ClassName(window) == L"#32770"; }

// The wizard is the dialog with the three buttons.
bool IsWizard(HWND window) {
  return IsDialogClass(window) && GetDlgItem(window, kNextButton) != nullptr &&
         GetDlgItem(window, kCancelButton) != nullptr;
}

struct PageSignature {
  Page page;
  std::array<const std::wstring Captions::*, 3> captions;
  std::array<bool, 3> enabled;
  int defaultIndex;  // -1: none
};

}  // namespace

const Captions& EnglishCaptions() {
  static const Captions captions{L"&Cancel", L"< &Back", L"&Next >",
                                 L"R&un",    L"C&lose",  L"C&ontinue"};
  return captions;
}

const Captions& JapaneseCaptions() {
  static const Captions captions{L"キャンセル(&C)", L"< 戻る(&B)", L"次へ(&N) >",
                                 L"実行(&R)",       L"閉じる(&L)", L"続行(&O)"};
  return captions;
}

const char* PageName(Page page) {
  switch (page) {
    case Page::kStart:
      return "start";
    case Page::kBusy:
      return "busy (connecting or cancelling)";
    case Page::kRunning:
      return "running";
    case Page::kComplete:
      return "complete";
    case Page::kCancelled:
      return "cancelled";
    case Page::kUnknown:
      break;
  }
  return "unknown";
}

int CountTopLevelWindows(DWORD processId, bool visibleOnly) {
  int count = 0;
  for (HWND window : TopLevelWindows(processId)) {
    if (!visibleOnly || IsWindowVisible(window)) ++count;
  }
  return count;
}

bool WizardWindow::Find(DWORD timeoutMs, bool visibleOnly) {
  return WaitUntil(
      [&] {
        for (HWND window : TopLevelWindows(m_processId)) {
          if ((!visibleOnly || IsWindowVisible(window)) && IsWizard(window)) {
            m_window = window;
            return true;
          }
        }
        return false;
      },
      timeoutMs);
}

std::wstring WizardWindow::Caption() const { return WindowText(m_window); }

DWORD WizardWindow::ThreadId() const { return GetWindowThreadProcessId(m_window, nullptr); }

Buttons WizardWindow::ReadButtons() const {
  Buttons buttons;
  GUITHREADINFO thread{};
  thread.cbSize = sizeof thread;
  const bool haveFocus = GetGUIThreadInfo(ThreadId(), &thread) != FALSE;
  const int ids[3] = {kCancelButton, kBackButton, kNextButton};
  for (int i = 0; i < 3; ++i) {
    const HWND button = GetDlgItem(m_window, ids[i]);
    if (button == nullptr) continue;
    ButtonState& state = buttons[static_cast<size_t>(i)];
    state.exists = true;
    state.text = WindowText(button);
    state.enabled = IsWindowEnabled(button) != FALSE;
    state.isDefault = (GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    state.focused = haveFocus && thread.hwndFocus == button;
  }
  return buttons;
}

Page WizardWindow::CurrentPage() const {
  using C = Captions;
  static const PageSignature kPages[] = {
      {Page::kStart, {&C::cancel, &C::back, &C::run}, {true, false, true}, 2},
      {Page::kBusy, {&C::cancel, &C::back, &C::next}, {false, false, false}, -1},
      {Page::kRunning, {&C::cancel, &C::back, &C::next}, {true, false, false}, 0},
      {Page::kComplete, {&C::cancel, &C::cont, &C::close}, {false, true, true}, 2},
      {Page::kCancelled, {&C::cancel, &C::back, &C::close}, {false, true, true}, 2},
  };
  const Buttons buttons = ReadButtons();
  for (const PageSignature& signature : kPages) {
    bool match = true;
    for (size_t i = 0; i < 3 && match; ++i) {
      const ButtonState& b = buttons[i];
      match = b.exists && b.text == m_captions.*signature.captions[i] &&
              b.enabled == signature.enabled[i] &&
              b.isDefault == (signature.defaultIndex == static_cast<int>(i));
    }
    if (match) return signature.page;
  }
  return Page::kUnknown;
}

bool WizardWindow::WaitForPage(Page page, DWORD timeoutMs) const {
  return WaitUntil([&] { return CurrentPage() == page; }, timeoutMs);
}

void WizardWindow::Click(int buttonId) const {
  PostMessageW(GetDlgItem(m_window, buttonId), BM_CLICK, 0, 0);
}

void WizardWindow::PostButtonCommand(int buttonId) const {
  PostMessageW(m_window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(m_window, buttonId)));
}

void WizardWindow::PostSysCommand(WPARAM command) const {
  PostMessageW(m_window, WM_SYSCOMMAND, command, 0);
}

void WizardWindow::PressKey(UINT virtualKey) const {
  GUITHREADINFO thread{};
  thread.cbSize = sizeof thread;
  HWND target = m_window;
  if (GetGUIThreadInfo(ThreadId(), &thread) && thread.hwndFocus != nullptr) {
    target = thread.hwndFocus;
  }
  const UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
  const LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
  const LPARAM up = down | (1L << 30) | (1L << 31);
  PostMessageW(target, WM_KEYDOWN, virtualKey, down);
  PostMessageW(target, WM_KEYUP, virtualKey, up);
}

bool WizardWindow::FindOwnedDialog(OwnedDialog* dialog) const {
  for (HWND window : TopLevelWindows(m_processId)) {
    if (window == m_window || !IsWindowVisible(window) || !IsDialogClass(window)) continue;
    OwnedDialog found;
    found.window = window;
    found.caption = WindowText(window);
    found.ownedByWizard = GetWindow(window, GW_OWNER) == m_window;
    if (HWND text = GetDlgItem(window, kMessageBoxTextId)) {
      found.text = WindowText(text);
    } else if (HWND about = GetDlgItem(window, kAboutText)) {
      found.text = WindowText(about);
    }
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
      const std::wstring kind = ClassName(child);
      const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
      if (_wcsicmp(kind.c_str(), L"Button") == 0 && (style & BS_TYPEMASK) <= BS_DEFPUSHBUTTON) {
        ++found.buttonCount;
        if (GetDlgCtrlID(child) == IDOK) found.hasOkButton = true;
      }
      if (_wcsicmp(kind.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
          IsWindowVisible(child)) {
        // The message box keeps an icon control even without an icon.
        DWORD_PTR icon = 0;
        SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kQueryTimeoutMs, &icon);
        if (icon != 0) found.hasIcon = true;
      }
    }
    *dialog = found;
    return true;
  }
  return false;
}

bool WizardWindow::WaitForOwnedDialog(OwnedDialog* dialog, DWORD timeoutMs) const {
  return WaitUntil([&] { return FindOwnedDialog(dialog); }, timeoutMs);
}

bool WizardWindow::DismissOwnedDialog(const OwnedDialog& dialog, DWORD timeoutMs) const {
  PostMessageW(dialog.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog.window, IDOK)));
  return WaitUntil(
      [&] { return IsWindow(dialog.window) == FALSE || IsWindowVisible(dialog.window) == FALSE; },
      timeoutMs);
}

ProgressState WizardWindow::Progress() const {
  ProgressState state;
  const HWND bar = GetDlgItem(m_window, kProgressBar);
  if (bar == nullptr) return state;
  state.exists = true;
  state.visible = IsWindowVisible(bar) != FALSE;
  state.className = ClassName(bar);
  GetWindowRect(bar, &state.rect);
  MapWindowPoints(nullptr, m_window, reinterpret_cast<POINT*>(&state.rect), 2);
  // Only values travel: a pointer would not be valid in the wizard's process.
  DWORD_PTR low = 0, high = 0, position = 0;
  state.answered =
      SendMessageTimeoutW(bar, PBM_GETRANGE, TRUE, 0, SMTO_ABORTIFHUNG, kQueryTimeoutMs, &low) &&
      SendMessageTimeoutW(bar, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, kQueryTimeoutMs, &high) &&
      SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kQueryTimeoutMs, &position);
  state.low = static_cast<int>(low);
  state.high = static_cast<int>(high);
  state.position = static_cast<int>(position);
  return state;
}

COLORREF WizardWindow::ClientPixel(int x, int y) const {
  HDC dc = GetDC(m_window);
  if (dc == nullptr) return CLR_INVALID;
  const COLORREF colour = GetPixel(dc, x, y);
  ReleaseDC(m_window, dc);
  return colour;
}

RECT WizardWindow::ScreenRect() const {
  RECT rect{};
  GetWindowRect(m_window, &rect);
  return rect;
}

}  // namespace gui
