// The Windows hub driver's IOCTL codes, as the tests know them: written down
// here once, apart from the values the code under test uses, so a wrong code
// there fails a test instead of agreeing with itself.
#ifndef LX40_TESTS_SUPPORT_HUB_IOCTL_CODES_H
#define LX40_TESTS_SUPPORT_HUB_IOCTL_CODES_H

#include <cstdint>

namespace hub_ioctl {

// The root hub name query (sent to a host controller) and the node
// information request (sent to a hub) share one code.
inline constexpr uint32_t kRootHubName = 0x220408;
inline constexpr uint32_t kNodeInformation = 0x220408;
inline constexpr uint32_t kConnectionInformation = 0x22040C;
inline constexpr uint32_t kDescriptor = 0x220410;
inline constexpr uint32_t kConnectionName = 0x220414;

}  // namespace hub_ioctl

#endif
