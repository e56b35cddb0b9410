// The ordinal interface's device table and its selected meter. Internal to
// the library.
#ifndef LX40_METERLINK_DEVICE_TABLE_H
#define LX40_METERLINK_DEVICE_TABLE_H

#include "exchange.h"

namespace meterlink {

// The meter every ordinal exchange uses: the one SelectOneDevice chose, or
// a meter without pipes (every exchange fails with -2 / 0) when none is.
Meter& SelectedMeter();

}  // namespace meterlink

#endif
