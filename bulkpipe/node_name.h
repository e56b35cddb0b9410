// The names of hubs, asked of the hub driver in two calls: first the size,
// then the text. A name comes back as NUL-terminated 8-bit text; a buffer
// that is not ok() means "no name" (a failed call, a reply that does not
// hold together, an empty name or a failed allocation).
#ifndef LX40_BULKPIPE_NODE_NAME_H
#define LX40_BULKPIPE_NODE_NAME_H

#include <cstdint>

#include "byte_buffer.h"
#include "usbhost.h"

namespace bulkpipe {

// Largest name record accepted from the driver. Real hub names are symbolic
// links of some 100 to 200 characters; a bigger ActualLength is a lie that
// must not decide how much we allocate.
inline constexpr uint32_t kMaxNameRecordSize = 4096;

// The name of the root hub of an open host controller.
ByteBuffer QueryRootHubName(usbhost_handle controller);

// The name of the hub on `port` (1-based) of an open hub.
ByteBuffer QueryPortHubName(usbhost_handle hub, uint32_t port);

}  // namespace bulkpipe

#endif
