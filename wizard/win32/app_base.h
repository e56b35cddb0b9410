// The application object of a dialog-only Windows program: one per process,
// constructed before the entry function runs. The entry function hands it
// the module; it takes the executable's base name as the application name
// (the caption of every message box) and runs InitInstance, which shows
// the program's windows and returns when the program is to end.
#ifndef LX40_WIZARD_WIN32_APP_BASE_H
#define LX40_WIZARD_WIN32_APP_BASE_H

#include <windows.h>

#include <string>

class CModalDialog;

class CAppBase {
 public:
  CAppBase();
  virtual ~CAppBase();
  CAppBase(const CAppBase&) = delete;
  CAppBase& operator=(const CAppBase&) = delete;

  // The one application object; null before it is constructed.
  static CAppBase* Current();

  // Called by the entry function: records the module and the name, runs
  // InitInstance and returns the process exit code.
  int Run(HINSTANCE instance);

  HINSTANCE Instance() const { return m_instance; }
  // The executable's file name without folder and extension.
  const std::wstring& Name() const { return m_name; }

  // The window that stands for the application while it is shown.
  CModalDialog* m_pMainWnd = nullptr;

 protected:
  // Shows the program's windows. A dialog-only program does all its work
  // here and returns false: there is no message loop after it.
  virtual bool InitInstance() = 0;

 private:
  HINSTANCE m_instance = nullptr;
  std::wstring m_name;
};

// The application's name, or an empty text before the application runs.
std::wstring AppName();

// A message box owned by `owner`: `text`, the application's name as
// caption, one OK button, no icon. Returns once it is dismissed.
void AppMessageBox(HWND owner, const std::wstring& text);

#endif
