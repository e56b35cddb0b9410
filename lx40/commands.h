// The commands of lx40, one file each. Each returns the exit status.
#ifndef LX40_LX40_COMMANDS_H
#define LX40_LX40_COMMANDS_H

#include "command_line.h"

namespace lx40 {

int RunListCommand(const Options& options);
int RunSetupCommand(const Options& options);
int RunInfoCommand(const Options& options);
int RunMeasureCommand(const Options& options);
int RunTableCheckCommand(const Options& options);
int RunTableExportCommand(const Options& options);

}  // namespace lx40

#endif
