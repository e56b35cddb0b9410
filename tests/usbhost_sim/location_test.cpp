// usbhost_interface_location on the virtual bus: the port text follows the
// topology from the controller down, and the plug generation tells a
// re-plugged meter at the same interface path from the one before.
#include <string>
#include <vector>

#include "bus_fixture.h"

namespace usbsim_test {
namespace {

struct Located {
  bool ok = false;
  std::string port;
  uint32_t generation = 0;
};

Located Locate(const std::string& path, uint32_t size = 64) {
  std::vector<char> port(size + 1, 'x');
  Located out;
  out.generation = 0xDEADBEEF;
  out.ok = usbhost_interface_location(path.c_str(), port.data(), size, &out.generation) == 1;
  if (out.ok) out.port = port.data();
  // Nothing is written past the size given.
  EXPECT_EQ(port[size], 'x');
  return out;
}

class LocationTest : public BusTest {};

TEST_F(LocationTest, PortFollowsTheTopology) {
  // Each case builds its own bus: controller, then a chain of hubs given
  // by the ports they hang on, and the meter's port on the last one.
  struct Case {
    int controller;
    std::vector<int> hubs;  // the port of each hub on the one above
    int port;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {0, {}, 1, "1-1"},
      {0, {}, 4, "1-4"},
      {0, {3}, 2, "1-3.2"},
      {2, {1, 4}, 3, "3-1.4.3"},
      {9, {2, 2, 2}, 1, "10-2.2.2.1"},
  };
  for (const Case& c : cases) {
    bus().Reset();
    usbsim::NodeId hub = bus().AddController(c.controller, 4);
    ASSERT_NE(hub, 0u);
    for (int port : c.hubs) {
      hub = bus().AddHub(hub, port, 4);
      ASSERT_NE(hub, 0u);
    }
    const usbsim::DeviceId meter = bus().Plug(hub, c.port, Meter(u"A12345678"));
    ASSERT_NE(meter, 0u);
    const Located where = Locate(bus().InterfacePath(meter));
    EXPECT_TRUE(where.ok) << c.expected;
    EXPECT_EQ(where.port, c.expected);
  }
}

TEST_F(LocationTest, TwoMetersWithOneSerialHaveTheirOwnPorts) {
  const usbsim::NodeId root = bus().AddController(0, 4);
  const usbsim::DeviceId a = bus().Plug(root, 1, Meter(u"SAME00001"));
  const usbsim::DeviceId b = bus().Plug(root, 2, Meter(u"SAME00001"));
  const Located first = Locate(bus().InterfacePath(a));
  const Located second = Locate(bus().InterfacePath(b));
  ASSERT_TRUE(first.ok);
  ASSERT_TRUE(second.ok);
  EXPECT_EQ(first.port, "1-1");
  EXPECT_EQ(second.port, "1-2");
  EXPECT_NE(first.generation, second.generation);
}

TEST_F(LocationTest, ReplugKeepsThePathAndChangesTheGeneration) {
  const usbsim::NodeId root = bus().AddController(0, 4);
  const usbsim::DeviceId before = bus().Plug(root, 2, Meter(u"A12345678"));
  const std::string path = bus().InterfacePath(before);
  const Located first = Locate(path);
  ASSERT_TRUE(first.ok);
  EXPECT_EQ(Locate(path).generation, first.generation);  // stable while plugged

  bus().Unplug(before);
  EXPECT_FALSE(Locate(path).ok);  // gone: no location
  const usbsim::DeviceId after = bus().Plug(root, 2, Meter(u"A12345678"));
  ASSERT_EQ(bus().InterfacePath(after), path);
  const Located second = Locate(path);
  ASSERT_TRUE(second.ok);
  EXPECT_EQ(second.port, first.port);
  EXPECT_NE(second.generation, first.generation);
}

TEST_F(LocationTest, RefusesWhatItCannotAnswer) {
  const usbsim::NodeId root = bus().AddController(0, 4);
  const usbsim::NodeId hub = bus().AddHub(root, 3, 4);
  const usbsim::DeviceId meter = bus().Plug(hub, 2, Meter(u"A12345678"));
  const std::string path = bus().InterfacePath(meter);
  char port[16];
  uint32_t generation = 0;
  EXPECT_FALSE(Locate(path, 5).ok);  // "1-3.2" needs 6 bytes
  EXPECT_TRUE(Locate(path, 6).ok);
  EXPECT_FALSE(Locate(path + "\\0").ok);  // a pipe, not an interface
  EXPECT_FALSE(Locate("").ok);
  EXPECT_EQ(usbhost_interface_location(nullptr, port, sizeof port, &generation), 0);
  EXPECT_EQ(usbhost_interface_location(path.c_str(), nullptr, sizeof port, &generation), 0);
  EXPECT_EQ(usbhost_interface_location(path.c_str(), port, sizeof port, nullptr), 0);
}

}  // namespace
}  // namespace usbsim_test
