#include "wizard/core/setup_run_thread.h"

#include <system_error>
#include <thread>
#include <utility>

#include "wizard/core/wizard_core.h"

CSetupRunThread::CSetupRunThread(CWizardCore& wizard, SetupRunOptions options)
    : m_wizard(wizard), m_options(options), m_live(std::make_shared<LiveCount>()) {
  m_wizard.SetRunStarter([this](CWizardCore&) {
    const SetupRunOptions runOptions = m_options;
    return BeginThread([runOptions](CWizardCore& runWizard) { SetupRun(runWizard, runOptions); });
  });
}

CSetupRunThread::~CSetupRunThread() {
  m_wizard.SetRunStarter(nullptr);
  WaitForRuns();
}

bool CSetupRunThread::BeginThread(Procedure procedure) {
  if (!procedure) return false;
  {
    std::lock_guard<std::mutex> lock(m_live->lock);
    ++m_live->threads;
  }
  try {
    std::thread([live = m_live, procedure = std::move(procedure), &wizard = m_wizard] {
      procedure(wizard);
      // The thread's last touch of anything shared: after this the owner
      // may destroy the wizard and its window.
      std::lock_guard<std::mutex> lock(live->lock);
      --live->threads;
      live->ended.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    std::lock_guard<std::mutex> lock(m_live->lock);
    --m_live->threads;
    return false;
  }
  return true;
}

void CSetupRunThread::WaitForRuns() {
  std::unique_lock<std::mutex> lock(m_live->lock);
  m_live->ended.wait(lock, [this] { return m_live->threads == 0; });
}

int CSetupRunThread::LiveThreads() const {
  std::lock_guard<std::mutex> lock(m_live->lock);
  return m_live->threads;
}
