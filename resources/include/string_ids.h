// Ids of the string-table entries, as constants: ids::kName for the wizard's
// table (wizard_strings.inc), lx40_ids::kName for lx40's and the station
// page's (lx40_strings.inc). Each id is defined once, beside its texts.
#ifndef LX40_RESOURCES_STRING_IDS_H
#define LX40_RESOURCES_STRING_IDS_H

#include <cstdint>

#define LX40_STRING(name, id, english, japanese) inline constexpr uint32_t name = id;

namespace ids {
#include "wizard_strings.inc"
}  // namespace ids

namespace lx40_ids {
#include "lx40_strings.inc"
}  // namespace lx40_ids

#undef LX40_STRING

#endif
