// The text an operator reads for a Meterlink result code: the wizard's own
// English message where the wizard has one for that kind of failure (taken
// from the wizard's string table, the one source of its texts), otherwise
// Meterlink's description of the code.
#ifndef LX40_LX40_METER_MESSAGES_H
#define LX40_LX40_METER_MESSAGES_H

#include <cstdint>
#include <string>

namespace lx40 {

std::string MeterMessage(int32_t code);

}  // namespace lx40

#endif
