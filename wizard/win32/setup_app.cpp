#include "setup_app.h"

#include <commctrl.h>

#include "setup_wizard_dlg.h"

bool CSetupApp::InitInstance() {
  // Size 8 and classes 0xFF: list view, tree view, bars, tab, up-down,
  // progress, hot key and animation. The result is not needed: the wizard
  // shows its buttons without them, and the progress bar just stays away.
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = 0xFF;
  InitCommonControlsEx(&controls);

  // One instance per logon: a second start ends silently.
  if (HANDLE other = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kInstanceMutexName)) {
    CloseHandle(other);
    return false;
  }
  m_hMutex = CreateMutexA(nullptr, FALSE, kInstanceMutexName);
  // Two starts at the same moment both find no mutex to open; the one whose
  // create only opened the other's mutex ends silently too, so two wizards
  // never drive the same meters at once.
  if (m_hMutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) return false;

  {
    CSetupWizardDlg wizard;
    m_pMainWnd = &wizard;
    wizard.DoModal();
    m_pMainWnd = nullptr;
  }
  return false;
}
