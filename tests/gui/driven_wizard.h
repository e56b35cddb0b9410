// A wizard started for one scenario and driven from outside: its process,
// its window, and the steps that scenarios and the demo share (start and
// wait for the start page, run to a page while answering message boxes).
#ifndef LX40_TESTS_GUI_DRIVEN_WIZARD_H
#define LX40_TESTS_GUI_DRIVEN_WIZARD_H

#include <memory>
#include <string>
#include <vector>

#include "wizard_process.h"
#include "wizard_window.h"

namespace gui {

class DrivenWizard {
 public:
  explicit DrivenWizard(const Captions& captions = EnglishCaptions()) : m_captions(captions) {}

  // Prepares the scenario folder `name` with `meterConfig` ("" for the
  // simulator's default meters). False (with `error` set) on failure.
  bool Prepare(const std::string& name, const std::string& meterConfig, std::string* error);
  // Starts the program prepared (or another copy in the same folder) and
  // waits for its wizard window, visible or, with `visibleOnly` false, not.
  bool Start(std::string* error, bool visibleOnly = true);

  // Until `page` is shown: every message box met on the way is recorded
  // and dismissed with OK. False when the page did not come in time.
  bool RunToPage(Page page, std::vector<OwnedDialog>* messages, DWORD timeoutMs);

  const std::wstring& Folder() const { return m_folder; }
  WizardProcess& Process() { return m_process; }
  WizardWindow& Window() { return *m_window; }

 private:
  const Captions& m_captions;
  std::wstring m_folder;
  WizardProcess m_process;
  std::unique_ptr<WizardWindow> m_window;
};

}  // namespace gui

#endif
