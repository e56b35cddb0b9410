// One Sensorwiz.exe started by the driver, in a folder of its own: the
// simulated bus reads its meters from lx40sim.ini beside the executable, so
// every scenario gets a copy of the program and its DLLs and, when it needs
// other meters than the default two, a meter file.
#ifndef LX40_TESTS_GUI_WIZARD_PROCESS_H
#define LX40_TESTS_GUI_WIZARD_PROCESS_H

#include <windows.h>

#include <string>
#include <vector>

namespace gui {

// The folder of the driver itself, with a trailing backslash: the build
// puts Sensorwiz.exe and its DLLs there too.
std::wstring DriverFolder();

// Makes <driver folder>gui-scenarios\<name>\ with copies of Sensorwiz.exe,
// Meterlink.dll, Bulkpipe.dll and usbhost_sim.dll. Writes `meterConfig` as
// lx40sim.ini when it is not empty; removes what an earlier run left there.
// Returns the folder (with a trailing backslash), or "" on failure.
std::wstring PrepareScenarioFolder(const std::string& name, const std::string& meterConfig);

// The simulator's report of what it built (lx40sim.log), "" if none.
std::string ReadSimulatorLog(const std::wstring& folder);

class WizardProcess {
 public:
  WizardProcess() = default;
  WizardProcess(const WizardProcess&) = delete;
  WizardProcess& operator=(const WizardProcess&) = delete;
  // A wizard still running at the end of a scenario is ended, so the next
  // scenario is not taken for a second instance.
  ~WizardProcess();

  // Starts <folder>Sensorwiz.exe with that folder as its current folder.
  bool Start(const std::wstring& folder);
  DWORD Id() const { return m_info.dwProcessId; }
  bool Running() const;
  bool WaitForExit(DWORD timeoutMs) const;
  // Ends the process (and waits for it, bounded).
  void Terminate();

 private:
  PROCESS_INFORMATION m_info{};
};

}  // namespace gui

#endif
