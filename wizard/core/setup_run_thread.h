// The setup run's thread. The Run button starts the run on a thread of its
// own (BeginThread). This object counts the run threads still alive, so that
// whoever owns the wizard window can wait for them before the window goes
// away, and joins each thread once it has returned: at the next Run and at
// the end. Threads are never detached: with MinGW's pthreads a thread
// detached right after its creation can be lost before it ever runs (seen
// under Wine), which would leave the wizard on the connecting page for ever.
//
// The wizard's run-active flag (CWizardCore) stands for the run thread's
// handle: the wizard sets it before the thread is started and the run clears
// it with FinishRun. After FinishRun the run still sends its final repaint,
// so the thread outlives the flag by that much; the count covers it.
//
// Use: one per wizard, constructed on the window thread once the wizard
// exists, and destroyed before the wizard and its window (for the Win32
// dialog: a member declared after every other member). The wizard must not
// end while IsRunActive() is true; the destructor then only waits for a run
// that is sending its final repaint, which a window that is already gone
// completes at once.
#ifndef LX40_WIZARD_CORE_SETUP_RUN_THREAD_H
#define LX40_WIZARD_CORE_SETUP_RUN_THREAD_H

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "setup_run.h"

class CWizardCore;

class CSetupRunThread {
 public:
  using Procedure = std::function<void(CWizardCore&)>;

  // Becomes the wizard's run starter: the Run button then starts SetupRun
  // with `options` through BeginThread.
  explicit CSetupRunThread(CWizardCore& wizard, SetupRunOptions options = {});
  // Takes the run starter back and waits until every run thread has ended.
  ~CSetupRunThread();
  CSetupRunThread(const CSetupRunThread&) = delete;
  CSetupRunThread& operator=(const CSetupRunThread&) = delete;

  // Runs `procedure` with the wizard on a new thread, normal priority,
  // default stack. False when no thread could be made (nothing runs then).
  bool BeginThread(Procedure procedure);
  // Returns once every thread started here has returned from its procedure.
  void WaitForRuns();
  // Threads started here that have not yet returned.
  int LiveThreads() const;

 private:
  // Shared with every thread, so the count outlives this object for as
  // long as a thread still touches it.
  struct LiveCount {
    std::mutex lock;
    std::condition_variable ended;
    int threads = 0;
  };

  // A started thread and whether its procedure has returned (joining it
  // then cannot wait on anything but the thread's own exit).
  struct RunThread {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> returned;
  };

  // Joins the threads whose procedure has returned.
  void JoinReturned();

  CWizardCore& m_wizard;
  SetupRunOptions m_options;
  std::shared_ptr<LiveCount> m_live;
  std::vector<RunThread> m_threads;  // touched on the owner's thread only
};

#endif
