// A modal dialog built from a dialog template of the executable, with its
// messages handed to virtual members: control binding and initialisation,
// commands by control id, and a small table of further messages. The
// dialog procedure is static; the object is found again through the
// window's user data.
#ifndef LX40_WIZARD_WIN32_MODAL_DIALOG_H
#define LX40_WIZARD_WIN32_MODAL_DIALOG_H

#include <windows.h>

class CModalDialog {
 public:
  explicit CModalDialog(int templateId);
  virtual ~CModalDialog() = default;
  CModalDialog(const CModalDialog&) = delete;
  CModalDialog& operator=(const CModalDialog&) = delete;

  // Creates the dialog owned by `owner` (null: none) and runs it until
  // EndDialog; returns the result given to EndDialog, or -1 when the
  // dialog could not be created.
  INT_PTR DoModal(HWND owner = nullptr);
  // Ends the modal loop with `result` once the current message is handled.
  void EndDialog(int result);

  // The dialog's window while it exists, null otherwise.
  HWND GetSafeHwnd() const { return m_hWnd; }

 protected:
  // Binds the controls the dialog uses (GetDlgItem of their ids). Called by
  // OnInitDialog before anything else.
  virtual void DoDataExchange() {}
  // WM_INITDIALOG. Binds the controls and returns TRUE (the system sets the
  // focus). Overrides call it first.
  virtual BOOL OnInitDialog();
  // WM_COMMAND. True when handled. The default ends the dialog on IDOK and
  // IDCANCEL (through OnOK and OnCancel).
  virtual bool OnCommand(UINT id, UINT code);
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // Any other message. True when handled, with `result` the dialog
  // procedure's answer; false lets the system's dialog handling run.
  virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

  HWND m_hWnd = nullptr;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  int m_templateId;
};

#endif
