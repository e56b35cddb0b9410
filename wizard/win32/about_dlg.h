// The About box (template 100): the product name, the version and the
// maker's notice, opened from the wizard's system menu.
#ifndef LX40_WIZARD_WIN32_ABOUT_DLG_H
#define LX40_WIZARD_WIN32_ABOUT_DLG_H

#include "modal_dialog.h"

class CAboutDlg : public CModalDialog {
 public:
  CAboutDlg();

 protected:
  void DoDataExchange() override;
  BOOL OnInitDialog() override;

 private:
  HWND m_text = nullptr;  // static text 800 (no prefix processing)
};

#endif
