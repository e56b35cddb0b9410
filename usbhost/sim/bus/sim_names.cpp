// Names as the Windows USB stack forms them: hub device interfaces of
// GUID_DEVINTERFACE_USB_HUB, and the meter's interface path.
#include <cstdio>

#include "bus/sim_bus_state.h"

namespace usbsim {
namespace {

constexpr const char* kHubInterfaceClass = "{f18a0e88-c30c-11d0-8815-00a0c906bed8}";
constexpr const char* kMeterInterfaceClass = "{6b3e21d4-0a7c-4f58-b913-2e7d5c48a0f1}";

// Characters that may stand in an instance id: printable ASCII without the
// separators of a device path.
bool InstanceChar(char16_t c) {
  return c > 0x20 && c < 0x7F && c != '#' && c != '\\' && c != '/' && c != '&' && c != '?' &&
         c != '*';
}

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

std::vector<uint16_t> Utf16(const std::string& ascii) {
  return std::vector<uint16_t>(ascii.begin(), ascii.end());
}

}  // namespace usbsim
