// Ids of the wizard's string-table entries, as constants ids::kName. Each id
// is defined once, beside its texts, in wizard_strings.inc.
#ifndef LX40_RESOURCES_STRING_IDS_H
#define LX40_RESOURCES_STRING_IDS_H

#include <cstdint>

namespace ids {

#define LX40_STRING(name, id, english, japanese) inline constexpr uint32_t name = id;
#include "wizard_strings.inc"
#undef LX40_STRING

}  // namespace ids

#endif
