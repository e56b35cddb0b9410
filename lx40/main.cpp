// lx40: the command line for production lines. See README.md, "lx40".
#include <cstdio>
#include <exception>

#include "command_line.h"
#include "exit_status.h"
#include "subcommands.h"

int main(int argc, char** argv) {
  try {
    lx40::CommandLine command_line(lx40::Subcommands());
    if (const auto done = command_line.Parse(argc, argv)) return *done;
    return command_line.Run();
  } catch (const std::exception& e) {
    // Out of memory and the like: no meter state can be vouched for.
    std::fprintf(stderr, "lx40: %s\n", e.what());
    return lx40::kExitUnitFailed;
  }
}
