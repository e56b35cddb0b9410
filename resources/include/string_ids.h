// Ids of the string-table entries the wizard loads, as constants ids::kName.
// Each id is defined once, beside its texts, in wizard/resources/strings.inc.
#ifndef LX40_WIZARD_CORE_STRING_IDS_H
#define LX40_WIZARD_CORE_STRING_IDS_H

#include <cstdint>

namespace ids {

#define LX40_STRING(name, id, english, japanese) inline constexpr uint32_t name = id;
#include "wizard/resources/strings.inc"
#undef LX40_STRING

}  // namespace ids

#endif
