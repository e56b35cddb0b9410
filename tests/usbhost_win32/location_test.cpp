// The port of a device from its location paths, and the location call on a
// PC without meters.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "location_paths.h"
#include "usbhost.h"

namespace {

TEST(LocationPaths, PortFromOnePath) {
  struct Case {
    const char* location;
    const char* port;
  };
  const std::vector<Case> cases = {
      {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)", "1-2"},
      {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USB(4)", "1-2.4"},
      {"PCIROOT(0)#PCI(0801)#PCI(0004)#USBROOT(1)#USB(12)#USB(3)#USB(1)", "2-12.3.1"},
      {"USBROOT(0)#USB(07)", "1-7"},
      {"ACPI(_SB_)#ACPI(PCI0)#ACPI(XHC_)#ACPI(RHUB)#ACPI(HS03)", ""},  // no USBROOT
      {"PCIROOT(0)#PCI(1400)#USBROOT(0)", ""},                         // the root hub itself
      {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)#USBMI(0)", ""},
      {"PCIROOT(0)#USBROOT(x)#USB(2)", ""},
      {"PCIROOT(0)#USBROOT(0)#USB()", ""},
      {"PCIROOT(0)#USBROOT(0)#USB(123456)", ""},
      {"PCIROOT(0)#USBROOT(0)#USB(2", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(usbhost_win32::PortFromLocationPath(c.location), c.port) << c.location;
  }
}

TEST(LocationPaths, FirstUsbPathOfTheList) {
  const char list[] =
      "ACPI(_SB_)#ACPI(PCI0)#ACPI(XHC_)#ACPI(RHUB)#ACPI(HS03)\0"
      "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(3)#USB(1)\0";
  EXPECT_EQ(usbhost_win32::PortFromLocationList(list, sizeof list), "1-3.1");
  // Cut inside the second entry, without any NUL: read only as far as given.
  const std::size_t cut =
      std::strlen(list) + 1 + std::strlen("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(3)");
  EXPECT_EQ(usbhost_win32::PortFromLocationList(list, cut), "1-3");
  EXPECT_EQ(usbhost_win32::PortFromLocationList(list, std::strlen(list)), "");
  EXPECT_EQ(usbhost_win32::PortFromLocationList("\0\0", 2), "");
  EXPECT_EQ(usbhost_win32::PortFromLocationList(nullptr, 10), "");
}

TEST(Location, NoSuchInterfaceFails) {
  char port[64];
  uint32_t generation = 7;
  EXPECT_EQ(usbhost_interface_location("\\\\?\\usb#vid_0000&pid_0000#none#{00000000-0000-0000-"
                                       "0000-000000000000}",
                                       port, sizeof port, &generation),
            0);
  EXPECT_EQ(usbhost_interface_location(nullptr, port, sizeof port, &generation), 0);
  EXPECT_EQ(usbhost_interface_location("x", nullptr, sizeof port, &generation), 0);
  EXPECT_EQ(usbhost_interface_location("x", port, sizeof port, nullptr), 0);
}

}  // namespace
