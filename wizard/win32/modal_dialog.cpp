#include "modal_dialog.h"

CModalDialog::CModalDialog(int templateId) : m_templateId(templateId) {}

INT_PTR CModalDialog::DoModal(HWND owner) {
  return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), owner,
                         &CModalDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

void CModalDialog::EndDialog(int result) {
  if (m_hWnd != nullptr) ::EndDialog(m_hWnd, result);
}

BOOL CModalDialog::OnInitDialog() {
  DoDataExchange();
  return TRUE;
}

bool CModalDialog::OnCommand(UINT id, UINT /*code*/) {
  switch (id) {
    case IDOK:
      OnOK();
      return true;
    case IDCANCEL:
      OnCancel();
      return true;
    default:
      return false;
  }
}

bool CModalDialog::OnMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/,
                             INT_PTR& /*result*/) {
  return false;
}

INT_PTR CALLBACK CModalDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<CModalDialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    dialog->m_hWnd = window;
    return dialog->OnInitDialog();
  }
  // Messages before WM_INITDIALOG (WM_SETFONT) find no object yet.
  auto* dialog = reinterpret_cast<CModalDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (dialog == nullptr) return FALSE;

  INT_PTR result = FALSE;
  switch (message) {
    case WM_COMMAND:
      result = dialog->OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
      break;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, DWLP_USER, 0);
      dialog->m_hWnd = nullptr;
      break;
    default:
      if (!dialog->OnMessage(message, wParam, lParam, result)) result = FALSE;
      break;
  }
  return result;
}
