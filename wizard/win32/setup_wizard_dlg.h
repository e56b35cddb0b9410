// The wizard window (template 102): the program's only window. A modal
// dialog whose state, pages and button logic are the portable wizard's
// (CWizardCore); this class gives it a Windows window and implements its
// window port (Win32WindowPort). The Run button starts the setup run on a
// thread of its own through CSetupRunThread.
#ifndef LX40_WIZARD_WIN32_SETUP_WIZARD_DLG_H
#define LX40_WIZARD_WIN32_SETUP_WIZARD_DLG_H

#include <windows.h>

#include "modal_dialog.h"
#include "setup_run_thread.h"
#include "win32_window_port.h"
#include "wizard_core.h"

class CSetupWizardDlg : public CModalDialog, public Win32WindowPort, public CWizardCore {
 public:
  CSetupWizardDlg();

  // --- WindowPort, window thread -----------------------------------------
  void EndWizard(int result) override;
  void ShowAbout() override;

 protected:
  void DoDataExchange() override;
  BOOL OnInitDialog() override;
  bool OnCommand(UINT id, UINT code) override;
  void OnOK() override;
  void OnCancel() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

 private:
  bool InitWizard();
  void ApplyWindowSize();
  void LayoutButtons();
  void CreateTextFonts();

  // Handlers; true when the message was handled.
  // WM_SYSCOMMAND, translated into the wizard's system command.
  bool OnSysCommand(WPARAM id);
  void OnPaint();
  HICON OnQueryDragIcon() const { return m_hIcon; }

  HICON m_hIcon = nullptr;
  HWND m_btnCancel = nullptr;  // 601
  HWND m_btnBack = nullptr;    // 602
  HWND m_btnNext = nullptr;    // 603
  // A setting the program refuses (a simulator build's LX40_SETTLE_MS),
  // said at start-up; empty when there is none.
  std::string m_settingsError;
  // The Run button's starter of the setup run. Declared last: destroyed
  // first, it waits for a run thread that is still returning from its final
  // repaint, so the program never ends under it.
  CSetupRunThread m_runThread{*this, ProgramRunOptions(&m_settingsError)};
};

#endif
