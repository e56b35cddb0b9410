// The Sensorwiz application: runs once per logon, prepares the common
// controls and shows the wizard as a modal dialog; the program ends when
// the wizard ends.
#ifndef LX40_WIZARD_WIN32_SETUP_APP_H
#define LX40_WIZARD_WIN32_SETUP_APP_H

#include <windows.h>

#include "app_base.h"

class CSetupApp : public CAppBase {
 public:
  // Name of the mutex that marks a running instance (local to the logon).
  static constexpr const char* kInstanceMutexName = "SetupLX40Instance";

  CSetupApp() = default;

 protected:
  // Shows the wizard; false in every case (no message loop follows).
  bool InitInstance() override;

 private:
  // Held until the process ends; the system closes it then.
  HANDLE m_hMutex = nullptr;
};

#endif
