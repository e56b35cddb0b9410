// The setup run's thread. The Run button starts the run on a thread of its
// own (BeginThread); the thread is detached at once, as a thread object that
// deletes itself when it ends, and this object counts the run threads still
// alive, so that whoever owns the wizard window can wait for them before the
// window goes away.
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

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "wizard/core/setup_run.h"

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

  CWizardCore& m_wizard;
  SetupRunOptions m_options;
  std::shared_ptr<LiveCount> m_live;
};

#endif
