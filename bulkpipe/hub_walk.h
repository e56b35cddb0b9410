// The depth-first walk of one host controller's hub tree: every port of
// every hub, meters counted (and their serial numbers listed) in pre-order.
#ifndef LX40_BULKPIPE_HUB_WALK_H
#define LX40_BULKPIPE_HUB_WALK_H

#include <cstdint>

#include "serial_list.h"
#include "usbhost.h"

namespace bulkpipe {

// USB allows five tiers of external hubs below a root hub. We walk two more
// for slack, and no further: a bus that reports a hub inside itself (a cycle)
// must not make the walk recurse for ever.
inline constexpr int kMaxExternalHubDepth = 7;

// USB gives at most 127 device addresses per host controller, hubs included.
// Attached devices and hubs beyond that on one controller are not examined,
// which bounds the whole walk (and the caller's serial list) even when a
// lying bus reports 255 ports on every hub.
inline constexpr int kMaxDevicesPerController = 127;

// What a CheckUSBDevices call has found so far.
struct DiscoveryState {
  int32_t meter_count = 0;
  SerialList serials;
};

// Walks the tree below a controller's root hub, whose name is `root_hub_name`.
void WalkRootHub(const char* root_hub_name, DiscoveryState& state);

}  // namespace bulkpipe

#endif
