#include "about_dlg.h"

#include <string>

#include "resource_ids.h"
#include "string_ids.h"
#include "win32_text.h"

CAboutDlg::CAboutDlg() : CModalDialog(IDD_ABOUTBOX) {}

void CAboutDlg::DoDataExchange() { m_text = GetDlgItem(m_hWnd, IDC_ABOUT_TEXT); }

BOOL CAboutDlg::OnInitDialog() {
  CModalDialog::OnInitDialog();
  SetWindowTextW(m_hWnd, LoadWideString(ids::kAboutTitle).c_str());

  // Each entry followed by two line feeds, so a blank line separates them.
  // A static control breaks its lines at a lone line feed too, so no
  // carriage returns are needed.
  std::wstring text;
  for (uint32_t id :
       {ids::kProductName, ids::kVersionText, ids::kMakerNotice1, ids::kMakerNotice2}) {
    text += LoadWideString(id);
    text += L"\n\n";
  }
  if (m_text != nullptr) SetWindowTextW(m_text, text.c_str());
  return TRUE;
}
