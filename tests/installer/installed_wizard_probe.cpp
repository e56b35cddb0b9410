// Starts an installed Sensorwiz.exe, waits for its wizard window, checks
// that it shows the start page (title, and the start page's buttons:
// Cancel and Run enabled, Back disabled) and closes it as an operator
// would: the title bar's close button twice (start page, then the
// cancelled page). Exit status 0 when all of that holds.
//
//   installed_wizard_probe <full path of Sensorwiz.exe>
#include <windows.h>

#include <cstdio>
#include <string>

#include "poll.h"
#include "text.h"
#include "wizard_window.h"

namespace {

constexpr wchar_t kTitle[] = L"Vantor LX40 Sensor Data Setup";

int Fail(const char* what) {
  std::printf("installed_wizard_probe: %s\n", what);
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return Fail("usage: installed_wizard_probe <path of Sensorwiz.exe>");
  const std::wstring exe = argv[1];
  const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring command = L"\"" + exe + L"\"";
  if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &process)) {
    return Fail("the program does not start");
  }
  CloseHandle(process.hThread);

  int status = 0;
  gui::WizardWindow wizard(process.dwProcessId, gui::EnglishCaptions());
  // A program that cannot start (a missing DLL) ends at once: no need to
  // wait the whole start time for its window then.
  const bool ended_or_found = gui::WaitUntil(
      [&] { return wizard.Find(0) || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; },
      gui::kStartTimeoutMs);
  if (!ended_or_found || !wizard.Exists()) {
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    std::printf("installed_wizard_probe: no wizard window (process exit code %lu)\n", code);
    status = 1;
  } else {
    const std::wstring caption = wizard.Caption();
    std::printf("installed_wizard_probe: window \"%s\"\n", gui::ToUtf8(caption).c_str());
    if (caption != kTitle) status = Fail("the window title is not the wizard's");
    if (!wizard.WaitForPage(gui::Page::kStart, gui::kStepTimeoutMs)) {
      status = Fail("the start page is not shown");
    } else {
      std::printf("installed_wizard_probe: start page shown\n");
    }
    // Close on the start page leads to the cancelled page, Close there ends
    // the program.
    wizard.PostSysCommand(SC_CLOSE);
    if (!wizard.WaitForPage(gui::Page::kCancelled, gui::kStepTimeoutMs)) {
      status = Fail("Close on the start page does not show the cancelled page");
    }
    wizard.PostSysCommand(SC_CLOSE);
  }

  if (WaitForSingleObject(process.hProcess, gui::kStepTimeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, gui::kStepTimeoutMs);
    status = Fail("the program did not end");
  }
  CloseHandle(process.hProcess);
  return status;
}
