// The window port on Windows: the wizard window's client area drawn with
// GDI, its three push buttons, the run's progress bar, message boxes and
// string loading.
//
// Threads. Every GDI call, every button change and the progress bar live on
// the window's own thread. A port call made on another thread (the setup
// run's) is handed to the window's thread with a synchronous SendMessage of
// a private message and returns once it has been done there. This cannot
// deadlock: the window's thread never waits for the run, it serves sent
// messages whenever it waits for input (its dialog loop, and the modal
// loops of message boxes), and the run holds no lock of the wizard while it
// calls the port. A call made after the window is gone does nothing.
#ifndef LX40_WIZARD_WIN32_WIN32_WINDOW_PORT_H
#define LX40_WIZARD_WIN32_WIN32_WINDOW_PORT_H

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "layout.h"
#include "window_port.h"

class Win32WindowPort : public WindowPort {
 public:
  Win32WindowPort() = default;
  // Deletes the fonts.
  ~Win32WindowPort() override;
  Win32WindowPort(const Win32WindowPort&) = delete;
  Win32WindowPort& operator=(const Win32WindowPort&) = delete;

  // --- WindowPort --------------------------------------------------------
  void FillArea(const Rect& area, Rgb colour) override;
  void DrawLine(Point from, Point to, Rgb colour) override;
  void DrawTextLine(const Rect& clip, const std::string& text, TextFont font,
                    Rgb background) override;
  void SetButtonCaption(int index, const std::string& caption) override;
  void EnableButton(int index, bool enabled) override;
  void SetButtonDefault(int index, bool isDefault) override;
  void FocusButton(int index) override;
  void ShowButton(int index) override;
  void CreateProgress(const Rect& area, int32_t controlId) override;
  void DestroyProgress() override;
  void SetProgressRange(int32_t low, int32_t high) override;
  void SetProgressPosition(int32_t position) override;
  void AdvanceProgress(int32_t delta) override;
  void ShowProgress() override;
  void ShowMessage(const std::string& text) override;
  std::string LoadText(uint32_t id) override;
  Rgb GetSystemColour(SystemColour which) override;
  void RepaintNow() override;
  void RunOnWindowThread(const std::function<void()>& work) override;

 protected:
  // The private message that carries a marshalled call; its handler is
  // HandleMarshalledCall.
  static constexpr UINT kRunOnWindowThreadMessage = WM_APP + 0x40;

  // Binds the port to the wizard window and its three buttons (601, 602,
  // 603). Called on the window's thread, which becomes the port's thread.
  void AttachWindow(HWND window, HWND cancelButton, HWND backButton, HWND nextButton);
  // The window is going away: later calls from other threads do nothing.
  void DetachWindow();
  // Runs the marshalled call named by `lParam`, if it is one this port sent
  // and has not run yet (a stray or forged message runs nothing).
  void HandleMarshalledCall(LPARAM lParam);

  // The wizard's fonts (button, title band, body), created by the window.
  static HFONT CreateWizardFont(const WizardFont& font);
  HFONT m_fontButton = nullptr;
  HFONT m_fontTitle = nullptr;
  HFONT m_fontBody = nullptr;

  // 601, 602, 603 in this order; every button loop runs over it.
  HWND m_pButtons[kButtonCount] = {nullptr, nullptr, nullptr};

 private:
  bool OnWindowThread() const;
  // Runs `work` on the window's thread and waits for it.
  void Marshal(const std::function<void()>& work);
  HWND Button(int index) const;

  std::atomic<HWND> m_window{nullptr};
  DWORD m_windowThreadId = 0;
  HWND m_progress = nullptr;  // window thread only

  std::mutex m_pendingLock;
  std::vector<const std::function<void()>*> m_pending;
};

#endif
