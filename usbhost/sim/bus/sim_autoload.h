// The bus of a program that never builds one itself, such as the wizard
// started on a PC without meters: on Windows, the first usbhost call builds
// it once, from the meter file "lx40sim.ini" beside the executable or, when
// there is none, from the default topology (BuildDefaultTopology). What was
// built, or why the file was refused, goes to "lx40sim.log" beside the
// executable. On other systems the bus starts empty and nothing is loaded.
//
// A program that uses the Bus API (a test that calls Bus::Reset() and builds
// its own topology) is never disturbed: the first use of Bus::Instance()
// before any usbhost call turns the automatic load off for good.
#ifndef LX40_USBHOST_SIM_BUS_SIM_AUTOLOAD_H
#define LX40_USBHOST_SIM_BUS_SIM_AUTOLOAD_H

namespace usbsim {

// Called at the start of every usbhost function. Builds the bus on the first
// call unless the program has configured it; later calls return at once.
// Never called from DllMain: loading files and starting meter threads under
// the loader lock is not allowed.
void EnsureAutoloaded();

// The program configures the bus itself; EnsureAutoloaded must not build it.
void NoteBusConfiguredByProgram();

}  // namespace usbsim

#endif
