// Ctrl+C and the other ways a run is stopped. The first Ctrl+C asks every
// meter to finish the table it is writing and stop, as the wizard's Cancel
// does; the second asks them to stop at once, between two steps of a load.
// A request to end the process (SIGTERM, SIGHUP; on Windows the console's
// close, logoff and shutdown events and the end of the session) stops at
// once, as a second Ctrl+C does. The handlers only count; the setup engine
// looks at the counts between steps.
#ifndef LX40_LX40_INTERRUPT_H
#define LX40_LX40_INTERRUPT_H

namespace lx40 {

// Installs the handlers (platform::WatchInterrupts).
void InstallInterruptHandler();

// How many times Ctrl+C was pressed since the handler was installed.
int InterruptCount();

// True once the system asked the process to end.
bool EndRequested();

// The stopped run's records are written and its summary is out: a handler
// that waits for it (Windows) may now end the process with `exit_status`.
void StoppedWorkIsOver(int exit_status);

}  // namespace lx40

#endif
