// lx40 station --learn-bays FILE: asks for a meter in bay 1, then 2, ...,
// and takes the port of each meter plugged in (no byte is sent to it),
// until stopped; then writes the bays file.
#ifndef LX40_LX40_STATION_LEARN_BAYS_H
#define LX40_LX40_STATION_LEARN_BAYS_H

#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "bays_file.h"

namespace lx40::station {

// Learns bays until `stopped()` is true. The prompts go to `prompt`. A
// place already plugged in when it starts, or a port already taken, is not
// a new bay. Returns the bays learned, in order, labelled 1, 2, ...
std::vector<Bay> LearnBays(std::FILE* prompt, const std::function<bool()>& stopped,
                           std::chrono::milliseconds poll);

}  // namespace lx40::station

#endif
