// Ctrl+C. The first asks every meter to finish the table it is writing and
// stop, as the wizard's Cancel does; the second asks them to stop at once,
// between two steps of a load. The handler only counts; the setup engine
// looks at the count between steps.
#ifndef LX40_LX40_INTERRUPT_H
#define LX40_LX40_INTERRUPT_H

namespace lx40 {

// Installs the handler: SIGINT on POSIX systems, the console's Ctrl+C and
// Ctrl+Break on Windows.
void InstallInterruptHandler();

// How many times Ctrl+C was pressed since the handler was installed.
int InterruptCount();

}  // namespace lx40

#endif
