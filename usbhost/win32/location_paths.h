// The port text of a USB device from one of its Windows location paths, as
// the device's location paths property lists them:
//   "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(4)"  gives  "1-2.4"
// (the USBROOT number plus one, a dash, then each USB(port) from the root
// hub down, joined by dots). Internal to the Windows usbhost layer.
#ifndef LX40_USBHOST_WIN32_LOCATION_PATHS_H
#define LX40_USBHOST_WIN32_LOCATION_PATHS_H

#include <string>
#include <string_view>

namespace usbhost_win32 {

// The port for `location`, or "" when it is not a USB location path (no
// USBROOT(n), no USB(p) after it, a number that is not decimal or too long).
std::string PortFromLocationPath(std::string_view location);

// The first USB port found among a REG_MULTI_SZ list of location paths
// (`size` bytes, NUL-separated, possibly without its final NULs): "" when
// none of them is a USB location path. Nothing is read past `size`.
std::string PortFromLocationList(const char* list, std::size_t size);

}  // namespace usbhost_win32

#endif
