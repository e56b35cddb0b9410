#include "win32_window_port.h"

#include <commctrl.h>

#include <algorithm>

#include "app_base.h"
#include "win32_text.h"

namespace {

COLORREF ToColorRef(Rgb colour) { return RGB(colour.red, colour.green, colour.blue); }

// A client-area device context of `window`, released at scope end.
class ClientDc {
 public:
  explicit ClientDc(HWND window) : m_window(window), m_dc(GetDC(window)) {}
  ~ClientDc() {
    if (m_dc != nullptr) ReleaseDC(m_window, m_dc);
  }
  ClientDc(const ClientDc&) = delete;
  ClientDc& operator=(const ClientDc&) = delete;
  HDC get() const { return m_dc; }

 private:
  HWND m_window;
  HDC m_dc;
};

}  // namespace

Win32WindowPort::~Win32WindowPort() {
  for (HFONT font : {m_fontButton, m_fontTitle, m_fontBody}) {
    if (font != nullptr) DeleteObject(font);
  }
}

HFONT Win32WindowPort::CreateWizardFont(const WizardFont& font) {
  const std::wstring face = Utf8ToWide(font.face);
  return CreateFontW(font.height, 0, 0, 0, font.weight, FALSE, FALSE, FALSE, font.charset,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

void Win32WindowPort::AttachWindow(HWND window, HWND cancelButton, HWND backButton,
                                   HWND nextButton) {
  m_windowThreadId = GetCurrentThreadId();
  m_pButtons[0] = cancelButton;
  m_pButtons[1] = backButton;
  m_pButtons[2] = nextButton;
  m_window.store(window);
}

void Win32WindowPort::DetachWindow() {
  m_window.store(nullptr);
  m_progress = nullptr;  // a child window: destroyed with the wizard
}

bool Win32WindowPort::OnWindowThread() const { return GetCurrentThreadId() == m_windowThreadId; }

void Win32WindowPort::Marshal(const std::function<void()>& work) {
  if (OnWindowThread()) {
    work();
    return;
  }
  const HWND window = m_window.load();
  if (window == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(m_pendingLock);
    m_pending.push_back(&work);
  }
  SendMessageW(window, kRunOnWindowThreadMessage, 0, reinterpret_cast<LPARAM>(&work));
  // Not run when the window went away before the message got through.
  std::lock_guard<std::mutex> lock(m_pendingLock);
  m_pending.erase(std::remove(m_pending.begin(), m_pending.end(), &work), m_pending.end());
}

void Win32WindowPort::HandleMarshalledCall(LPARAM lParam) {
  const auto* work = reinterpret_cast<const std::function<void()>*>(lParam);
  {
    std::lock_guard<std::mutex> lock(m_pendingLock);
    auto found = std::find(m_pending.begin(), m_pending.end(), work);
    if (found == m_pending.end()) return;
    m_pending.erase(found);
  }
  // The sender waits in SendMessage, so the call object is alive.
  (*work)();
}

HWND Win32WindowPort::Button(int index) const {
  return index >= 0 && index < kButtonCount ? m_pButtons[index] : nullptr;
}

// --- Canvas ---------------------------------------------------------------

void Win32WindowPort::FillArea(const Rect& area, Rgb colour) {
  Marshal([&] {
    const HWND window = m_window.load();
    if (window == nullptr) return;
    ClientDc dc(window);
    HPEN pen = CreatePen(PS_SOLID, 1, ToColorRef(colour));
    HBRUSH brush = CreateSolidBrush(ToColorRef(colour));
    HGDIOBJ oldPen = SelectObject(dc.get(), pen);
    HGDIOBJ oldBrush = SelectObject(dc.get(), brush);
    Rectangle(dc.get(), area.left, area.top, area.right, area.bottom);
    SelectObject(dc.get(), oldBrush);
    SelectObject(dc.get(), oldPen);
    DeleteObject(brush);
    DeleteObject(pen);
  });
}

void Win32WindowPort::DrawLine(Point from, Point to, Rgb colour) {
  Marshal([&] {
    const HWND window = m_window.load();
    if (window == nullptr) return;
    ClientDc dc(window);
    HPEN pen = CreatePen(PS_SOLID, 1, ToColorRef(colour));
    HGDIOBJ oldPen = SelectObject(dc.get(), pen);
    MoveToEx(dc.get(), from.x, from.y, nullptr);
    LineTo(dc.get(), to.x, to.y);
    SelectObject(dc.get(), oldPen);
    DeleteObject(pen);
  });
}

void Win32WindowPort::DrawTextLine(const Rect& clip, const std::string& text, TextFont font,
                                   Rgb background) {
  Marshal([&] {
    const HWND window = m_window.load();
    if (window == nullptr || clip.IsEmpty()) return;
    const std::wstring wide = Utf8ToWide(text);
    ClientDc dc(window);
    // Opaque text (the device context's default mode) on the area's colour,
    // in the default text colour.
    SetBkColor(dc.get(), ToColorRef(background));
    HGDIOBJ oldFont = SelectObject(dc.get(), font == TextFont::Title ? m_fontTitle : m_fontBody);
    RECT rect{clip.left, clip.top, clip.right, clip.bottom};
    // One line, clipped, never wrapped. No prefix processing: the texts are
    // shown as they are, so an ampersand (none of the page texts has one,
    // but a meter's serial number might) is not turned into an underline.
    DrawTextW(dc.get(), wide.c_str(), static_cast<int>(wide.size()), &rect,
              DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc.get(), oldFont);
  });
}

// --- Buttons ----------------------------------------------------------------

void Win32WindowPort::SetButtonCaption(int index, const std::string& caption) {
  Marshal([&] {
    if (HWND button = Button(index)) SetWindowTextW(button, Utf8ToWide(caption).c_str());
  });
}

void Win32WindowPort::EnableButton(int index, bool enabled) {
  Marshal([&] {
    if (HWND button = Button(index)) EnableWindow(button, enabled ? TRUE : FALSE);
  });
}

void Win32WindowPort::SetButtonDefault(int index, bool isDefault) {
  Marshal([&] {
    if (HWND button = Button(index)) {
      SendMessageW(button, BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
    }
  });
}

void Win32WindowPort::FocusButton(int index) {
  Marshal([&] {
    if (HWND button = Button(index)) SetFocus(button);
  });
}

void Win32WindowPort::ShowButton(int index) {
  Marshal([&] {
    if (HWND button = Button(index)) ShowWindow(button, SW_SHOWNORMAL);
  });
}

// --- Progress bar -----------------------------------------------------------

void Win32WindowPort::CreateProgress(const Rect& area, int32_t controlId) {
  Marshal([&] {
    const HWND window = m_window.load();
    if (window == nullptr) return;
    if (m_progress != nullptr) DestroyWindow(m_progress);
    m_progress = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | PBS_SMOOTH, area.left,
                                 area.top, area.Width(), area.Height(), window,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)),
                                 GetModuleHandleW(nullptr), nullptr);
  });
}

void Win32WindowPort::DestroyProgress() {
  Marshal([&] {
    if (m_progress == nullptr) return;
    DestroyWindow(m_progress);
    m_progress = nullptr;
  });
}

void Win32WindowPort::SetProgressRange(int32_t low, int32_t high) {
  Marshal([&] {
    if (m_progress != nullptr) SendMessageW(m_progress, PBM_SETRANGE32, low, high);
  });
}

void Win32WindowPort::SetProgressPosition(int32_t position) {
  Marshal([&] {
    if (m_progress != nullptr) SendMessageW(m_progress, PBM_SETPOS, position, 0);
  });
}

void Win32WindowPort::AdvanceProgress(int32_t delta) {
  Marshal([&] {
    if (m_progress != nullptr) SendMessageW(m_progress, PBM_DELTAPOS, delta, 0);
  });
}

void Win32WindowPort::ShowProgress() {
  Marshal([&] {
    if (m_progress != nullptr) ShowWindow(m_progress, SW_SHOWNORMAL);
  });
}

// --- Messages, strings, colours ---------------------------------------------

void Win32WindowPort::ShowMessage(const std::string& text) {
  Marshal([&] { AppMessageBox(m_window.load(), Utf8ToWide(text)); });
}

std::string Win32WindowPort::LoadText(uint32_t id) { return WideToUtf8(LoadWideString(id)); }

Rgb Win32WindowPort::GetSystemColour(SystemColour which) {
  const COLORREF colour = GetSysColor(static_cast<int>(which));
  return Rgb{GetRValue(colour), GetGValue(colour), GetBValue(colour)};
}

// --- Window control -----------------------------------------------------------

void Win32WindowPort::RepaintNow() {
  // A paint message sent, not posted: it is handled (the page of the
  // current state drawn) before this returns.
  const HWND window = m_window.load();
  if (window != nullptr) SendMessageW(window, WM_PAINT, 0, 0);
}

void Win32WindowPort::RunOnWindowThread(const std::function<void()>& work) { Marshal(work); }
