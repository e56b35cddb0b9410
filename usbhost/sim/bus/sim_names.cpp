// The meter's interface path as the Windows USB stack forms it (the hub
// names are the topology's, topology_names.cpp).
#include <cstdio>

#include "bus/sim_bus_state.h"

namespace usbsim {
namespace {

constexpr const char* kMeterInterfaceClass = "{6b3e21d4-0a7c-4f58-b913-2e7d5c48a0f1}";

// Characters that may stand in an instance id: printable ASCII without the
// separators of a device path.
bool InstanceChar(char16_t c) {
  return c > 0x20 && c < 0x7F && c != '#' && c != '\\' && c != '/' && c != '&' && c != '?' &&
         c != '*';
}

}  // namespace

std::string InstanceIdFromSerial(const std::u16string& serial) {
  std::string id;
  for (char16_t c : serial) {
    if (!InstanceChar(c)) return "";
    id += static_cast<char>(c);
  }
  return id;
}

std::string FallbackInstanceId(DeviceId device, int port) {
  char text[48];
  std::snprintf(text, sizeof text, "6&%x&0&%d", 0x3d90a100u + device, port);
  return text;
}

std::string MeterInterfacePath(const SimulatedDevice& details, const std::string& instance) {
  char head[48];
  std::snprintf(head, sizeof head, "\\\\?\\usb#vid_%04x&pid_%04x#", details.vendor_id,
                details.product_id);
  return std::string(head) + instance + "#" + kMeterInterfaceClass;
}

}  // namespace usbsim
