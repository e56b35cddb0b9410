// The bus of a program that never builds one itself (the wizard, lx40, any
// program that only calls Bulkpipe or Meterlink): the first usbhost call
// builds it once, from the meter file named by the environment variable
// LX40_SIM_METERS, else (Windows) from "lx40sim.ini" beside the executable,
// else from the default topology (BuildDefaultTopology). A file that cannot
// be used gives a bus without meters. On Windows what was built, or why the
// file was refused, goes to "lx40sim.log" beside the executable; elsewhere
// a refused file is reported on stderr. With LX40_SIM_STATE set, what the
// meters hold is written when the process ends (sim_state_file.h).
//
// A program that uses the Bus API (a test that calls Bus::Reset() and builds
// its own topology) is never disturbed: the first use of Bus::Instance()
// before any usbhost call turns the automatic load off for good, so such a
// program never gets the default meters on top of its own.
#ifndef LX40_USBHOST_SIM_SIM_AUTOLOAD_H
#define LX40_USBHOST_SIM_SIM_AUTOLOAD_H

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
