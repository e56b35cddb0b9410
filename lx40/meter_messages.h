// The texts lx40 shows: the English of a string-table entry (lx40's own
// words, lx40_strings.inc, or the wizard's), and the text an operator reads
// for a Meterlink result code: the wizard's own English message where the
// wizard has one for that kind of failure (taken from the wizard's string
// table, the one source of its texts), otherwise Meterlink's description of
// the code.
#ifndef LX40_LX40_METER_MESSAGES_H
#define LX40_LX40_METER_MESSAGES_H

#include <cstdint>
#include <string>

namespace lx40 {

// The English text of entry `id` of either string table.
std::string EnglishText(uint32_t id);

// A lock failure, a meter to plug in again and one plugged in again since
// listed carry the failed call's detail (mlink_last_error_detail): call it on
// the thread of that call, right after it.
std::string MeterMessage(int32_t code);

}  // namespace lx40

#endif
