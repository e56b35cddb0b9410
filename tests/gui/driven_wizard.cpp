#include "driven_wizard.h"

#include "poll.h"

namespace gui {

bool DrivenWizard::Prepare(const std::string& name, const std::string& meterConfig,
                           std::string* error) {
  m_folder = PrepareScenarioFolder(name, meterConfig);
  if (m_folder.empty()) *error = "cannot prepare the scenario folder " + name;
  return !m_folder.empty();
}

bool DrivenWizard::Start(std::string* error, bool visibleOnly) {
  if (!m_process.Start(m_folder)) {
    *error = "cannot start Sensorwiz.exe (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  m_window = std::make_unique<WizardWindow>(m_process.Id(), m_captions);
  if (!m_window->Find(kStartTimeoutMs, visibleOnly)) {
    *error = m_process.Running() ? "the wizard window did not appear"
                                 : "the program ended without showing its wizard";
    return false;
  }
  return true;
}

bool DrivenWizard::RunToPage(Page page, std::vector<OwnedDialog>* messages, DWORD timeoutMs) {
  return WaitUntil(
      [&] {
        OwnedDialog dialog;
        if (m_window->FindOwnedDialog(&dialog)) {
          // Read again once the box is complete (its text is set after it
          // appears), then answer it.
          Sleep(50);
          m_window->FindOwnedDialog(&dialog);
          if (messages != nullptr) messages->push_back(dialog);
          m_window->DismissOwnedDialog(dialog, kStepTimeoutMs);
          return false;
        }
        return m_window->CurrentPage() == page;
      },
      timeoutMs);
}

}  // namespace gui
