// lx40's table of subcommands: every command the program has, in the order
// `lx40 --help` lists them.
#ifndef LX40_LX40_SUBCOMMANDS_H
#define LX40_LX40_SUBCOMMANDS_H

#include <span>

#include "subcommand.h"

namespace lx40 {

std::span<const Subcommand> Subcommands();

}  // namespace lx40

#endif
