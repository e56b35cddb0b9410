#include "setup_run_thread.h"

#include <exception>
#include <thread>
#include <utility>

#include "wizard_core.h"

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
  for (RunThread& run : m_threads) run.thread.join();
}

bool CSetupRunThread::BeginThread(Procedure procedure) {
  if (!procedure) return false;
  JoinReturned();
  auto returned = std::make_shared<std::atomic<bool>>(false);
  {
    std::lock_guard<std::mutex> lock(m_live->lock);
    ++m_live->threads;
  }
  try {
    m_threads.reserve(m_threads.size() + 1);  // so keeping the thread cannot throw
    std::thread thread(
        [live = m_live, returned, procedure = std::move(procedure), &wizard = m_wizard] {
          procedure(wizard);
          // The thread's last touch of anything shared: after this the owner
          // may destroy the wizard and its window.
          std::lock_guard<std::mutex> lock(live->lock);
          --live->threads;
          returned->store(true);
          live->ended.notify_all();
        });
    m_threads.push_back(RunThread{std::move(thread), std::move(returned)});
  } catch (const std::exception&) {  // no thread, or no room to keep it
    std::lock_guard<std::mutex> lock(m_live->lock);
    --m_live->threads;
    return false;
  }
  return true;
}

void CSetupRunThread::JoinReturned() {
  for (auto it = m_threads.begin(); it != m_threads.end();) {
    if (it->returned->load()) {
      it->thread.join();
      it = m_threads.erase(it);
    } else {
      ++it;
    }
  }
}

void CSetupRunThread::WaitForRuns() {
  std::unique_lock<std::mutex> lock(m_live->lock);
  m_live->ended.wait(lock, [this] { return m_live->threads == 0; });
}

int CSetupRunThread::LiveThreads() const {
  std::lock_guard<std::mutex> lock(m_live->lock);
  return m_live->threads;
}
