// Hub names as the Windows USB stack forms them: device interfaces of
// GUID_DEVINTERFACE_USB_HUB.
#include <cstdio>

#include "usb_topology.h"

namespace usbtopo {
namespace {

constexpr const char* kHubInterfaceClass = "{f18a0e88-c30c-11d0-8815-00a0c906bed8}";

}  // namespace

std::string RootHubName(int controller) {
  char text[96];
  std::snprintf(text, sizeof text, "USB#ROOT_HUB30#4&1c3e2a%02x&0&0#%s", controller,
                kHubInterfaceClass);
  return text;
}

std::string ExternalHubName(NodeId hub, int parent_port) {
  char text[96];
  std::snprintf(text, sizeof text, "USB#VID_05E3&PID_0608#5&%x&0&%d#%s", 0x2b7c1400u + hub,
                parent_port, kHubInterfaceClass);
  return text;
}

std::vector<uint16_t> Utf16(const std::string& ascii) {
  return std::vector<uint16_t>(ascii.begin(), ascii.end());
}

}  // namespace usbtopo
