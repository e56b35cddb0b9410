// CheckUSBDevices: counts the attached meters by walking every host
// controller's hub tree, and lists their serial numbers on request.
#include <cstdio>

#include "bulkpipe.h"
#include "handle_guard.h"
#include "hub_walk.h"
#include "node_name.h"

namespace bulkpipe {
namespace {

constexpr int kControllerCount = 10;  // \\.\HCD0 .. \\.\HCD9

// What the scan finds is the call's own: calls may run at the same time.
int32_t ScanHostControllers(char* serials) {
  DiscoveryState discovery;
  discovery.serials.Start(serials);

  for (int number = 0; number < kControllerCount; ++number) {
    char name[16];
    std::snprintf(name, sizeof name, "\\\\.\\HCD%d", number);
    // A missing number does not end the scan: numbering may have gaps.
    const HandleGuard controller(
        usbhost_open(name, USBHOST_GENERIC_WRITE, USBHOST_FILE_SHARE_WRITE));
    if (!controller.valid()) continue;
    const ByteBuffer root_hub = QueryRootHubName(controller.get());
    if (root_hub.ok()) WalkRootHub(root_hub.chars(), discovery);
  }
  return discovery.meter_count;
}

}  // namespace
}  // namespace bulkpipe

extern "C" BULKPIPE_API int32_t CheckUSBDevices(char* serials) {
  return bulkpipe::ScanHostControllers(serials);
}
