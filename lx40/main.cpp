// lx40: the command line for production lines. See README.md, "lx40".
#include <cstdio>
#include <exception>

#include "command_line.h"
#include "commands.h"
#include "exit_status.h"

int main(int argc, char** argv) {
  try {
    lx40::Options options;
    if (const auto done = lx40::ParseCommandLine(argc, argv, &options)) return *done;
    switch (options.command) {
      case lx40::Command::kList:
        return lx40::RunListCommand(options);
      case lx40::Command::kSetup:
        return lx40::RunSetupCommand(options);
      case lx40::Command::kInfo:
        return lx40::RunInfoCommand(options);
      case lx40::Command::kMeasure:
        return lx40::RunMeasureCommand(options);
      case lx40::Command::kTableCheck:
        return lx40::RunTableCheckCommand(options);
      case lx40::Command::kTableExport:
        return lx40::RunTableExportCommand(options);
    }
    return lx40::kExitBadInput;
  } catch (const std::exception& e) {
    // Out of memory and the like: no meter state can be vouched for.
    std::fprintf(stderr, "lx40: %s\n", e.what());
    return lx40::kExitUnitFailed;
  }
}
