// Interfaces of the meter's class: their paths and plug order, the probe
// and the two pipes, routing to the endpoint, unplugging and Reset.
#include "bus_fixture.h"

namespace usbsim_test {
namespace {

class InterfaceTest : public BusTest {
 protected:
  void SetUp() override {
    BusTest::SetUp();
    root_ = bus().AddController(0, 4);
    ASSERT_NE(root_, 0u);
  }

  static bool Write(usbhost_handle h, const std::string& text) {
    uint32_t done = 0;
    const bool ok = usbhost_write(h, text.data(), static_cast<uint32_t>(text.size()), &done) == 1;
    if (ok) {
      EXPECT_EQ(done, text.size());
    }
    return ok;
  }
  static bool Read(usbhost_handle h, std::string* text, uint32_t size = 64) {
    std::string buffer(size, '\0');
    uint32_t done = 0;
    if (usbhost_read(h, buffer.data(), size, &done) != 1) return false;
    EXPECT_LE(done, size);
    text->assign(buffer.data(), done);
    return true;
  }

  usbsim::NodeId root_ = 0;
};

TEST_F(InterfaceTest, PathNamesVendorProductSerialAndClass) {
  const usbsim::DeviceId meter = bus().Plug(root_, 2, Meter(u"A12345678"));
  const std::string expected =
      "\\\\?\\usb#vid_5a2d&pid_3000#A12345678#{6b3e21d4-0a7c-4f58-b913-2e7d5c48a0f1}";
  EXPECT_EQ(bus().InterfacePath(meter), expected);
  EXPECT_EQ(InterfacePathAt(0), expected);
  EXPECT_EQ(bus().InterfaceCount(), 1);
}

TEST_F(InterfaceTest, PathMustFitWithItsTerminator) {
  const usbsim::DeviceId meter = bus().Plug(root_, 1, Meter(u"A12345678"));
  const std::string path = bus().InterfacePath(meter);
  std::vector<char> buffer(path.size() + 1, 'x');
  const uint8_t* guid = usbsim::Bus::kMeterInterfaceGuid.data();
  EXPECT_EQ(usbhost_interface_path(guid, 0, buffer.data(), static_cast<uint32_t>(path.size())), 0);
  EXPECT_EQ(buffer[0], 'x');
  ASSERT_EQ(usbhost_interface_path(guid, 0, buffer.data(), static_cast<uint32_t>(buffer.size())),
            1);
  EXPECT_EQ(std::string(buffer.data()), path);
  EXPECT_EQ(usbhost_interface_path(guid, 0, nullptr, 256), 0);
  EXPECT_EQ(usbhost_interface_path(nullptr, 0, buffer.data(), 256), 0);

  uint8_t other[16];
  std::copy(usbsim::Bus::kMeterInterfaceGuid.begin(), usbsim::Bus::kMeterInterfaceGuid.end(),
            other);
  other[15] ^= 1;
  EXPECT_EQ(usbhost_interface_path(other, 0, buffer.data(), 256), 0);
}

TEST_F(InterfaceTest, OrderIsPlugOrderAndShiftsAfterUnplug) {
  const usbsim::NodeId hub = bus().AddHub(root_, 4, 2);
  // Plugged against the topology order on purpose.
  const usbsim::DeviceId a = bus().Plug(hub, 2, Meter(u"AAAAAAAAA"));
  usbsim::SimulatedDevice plain;  // a device without pipes has no interface
  plain.serial = u"NOPIPES00";
  const usbsim::DeviceId none = bus().Plug(root_, 2, plain);
  const usbsim::DeviceId b = bus().Plug(root_, 1, Meter(u"BBBBBBBBB"));
  const usbsim::DeviceId c = bus().Plug(root_, 3, Meter(u"CCCCCCCCC"));
  ASSERT_NE(none, 0u);
  EXPECT_EQ(bus().InterfacePath(none), "");
  EXPECT_EQ(InterfacePathAt(0), bus().InterfacePath(a));
  EXPECT_EQ(InterfacePathAt(1), bus().InterfacePath(b));
  EXPECT_EQ(InterfacePathAt(2), bus().InterfacePath(c));
  EXPECT_EQ(InterfacePathAt(3), "");
  EXPECT_EQ(InterfacePathAt(-1), "");

  bus().Unplug(a);
  EXPECT_EQ(InterfacePathAt(0), bus().InterfacePath(b));
  EXPECT_EQ(InterfacePathAt(1), bus().InterfacePath(c));
  EXPECT_EQ(InterfacePathAt(2), "");

  // Plugging again goes to the end; the port is free for it.
  const usbsim::DeviceId a2 = bus().Plug(hub, 2, Meter(u"AAAAAAAAA"));
  ASSERT_NE(a2, 0u);
  EXPECT_NE(a2, a);
  EXPECT_EQ(InterfacePathAt(2), bus().InterfacePath(a2));
}

TEST_F(InterfaceTest, PathsStayUniqueWithoutAUsableSerial) {
  const usbsim::DeviceId a = bus().Plug(root_, 1, Meter(u"SAME00001"));
  const usbsim::DeviceId b = bus().Plug(root_, 2, Meter(u"SAME00001"));
  const usbsim::DeviceId c = bus().Plug(root_, 3, Meter(u""));
  const usbsim::DeviceId d = bus().Plug(root_, 4, Meter(u"A#B\\C"));
  const std::vector<std::string> paths{bus().InterfacePath(a), bus().InterfacePath(b),
                                       bus().InterfacePath(c), bus().InterfacePath(d)};
  for (size_t i = 0; i < paths.size(); ++i) {
    EXPECT_EQ(std::count(paths[i].begin(), paths[i].end(), '\\'), 3) << paths[i];
    for (size_t j = i + 1; j < paths.size(); ++j) EXPECT_NE(paths[i], paths[j]);
  }
}

TEST_F(InterfaceTest, PlugRefusesTakenOrMissingPorts) {
  ASSERT_NE(bus().Plug(root_, 1, Meter(u"A12345678")), 0u);
  EXPECT_EQ(bus().Plug(root_, 1, Meter(u"B12345678")), 0u);
  EXPECT_EQ(bus().Plug(root_, 0, Meter(u"B12345678")), 0u);
  EXPECT_EQ(bus().Plug(root_, 5, Meter(u"B12345678")), 0u);
  EXPECT_EQ(bus().Plug(9999, 1, Meter(u"B12345678")), 0u);
  EXPECT_EQ(bus().AddHub(root_, 1, 4), 0u);
  EXPECT_EQ(bus().AddController(0, 4), 0u);
  EXPECT_EQ(bus().AddController(10, 4), 0u);
  EXPECT_EQ(bus().AddController(-1, 4), 0u);
  EXPECT_EQ(bus().InterfaceCount(), 1);
}

TEST_F(InterfaceTest, PipesRouteToTheirOwnEndpoint) {
  auto echo_a = std::make_shared<EchoEndpoint>();
  auto echo_b = std::make_shared<EchoEndpoint>();
  const usbsim::DeviceId a = bus().Plug(root_, 1, Meter(u"AAAAAAAAA", echo_a));
  const usbsim::DeviceId b = bus().Plug(root_, 2, Meter(u"BBBBBBBBB", echo_b));
  const std::string path_a = bus().InterfacePath(a), path_b = bus().InterfacePath(b);

  const usbhost_handle probe = OpenFile(path_a);
  ASSERT_NE(probe, USBHOST_INVALID);
  EXPECT_EQ(usbhost_close(probe), 1);

  const usbhost_handle a0 = OpenFile(path_a + "\\0"), a1 = OpenFile(path_a + "\\1");
  const usbhost_handle b0 = OpenFile(path_b + "\\0"), b1 = OpenFile(path_b + "\\1");
  for (usbhost_handle h : {a0, a1, b0, b1}) ASSERT_NE(h, USBHOST_INVALID);
  EXPECT_NE(a0, a1);

  std::string text;
  ASSERT_TRUE(Read(a1, &text));
  EXPECT_EQ(text, "");  // idle read completes with nothing
  ASSERT_TRUE(Write(a0, "QPID"));
  ASSERT_TRUE(Write(b0, "IDN"));
  ASSERT_TRUE(Read(a1, &text, 3));
  EXPECT_EQ(text, "QPI");  // no more than asked
  ASSERT_TRUE(Read(a1, &text));
  EXPECT_EQ(text, "D");
  ASSERT_TRUE(Read(b1, &text));
  EXPECT_EQ(text, "IDN");
  EXPECT_EQ(echo_a->Writes(), 1);
  EXPECT_EQ(echo_b->Writes(), 1);

  // A zero-length write reaches the endpoint too.
  uint32_t done = 7;
  EXPECT_EQ(usbhost_write(a0, nullptr, 0, &done), 1);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(echo_a->Writes(), 2);

  // The endpoint's refusal is the host's failure.
  echo_a->Refuse(true);
  EXPECT_FALSE(Write(a0, "X"));
  EXPECT_FALSE(Read(a1, &text));
  EXPECT_TRUE(Write(b0, "X"));

  for (usbhost_handle h : {a0, a1, b0, b1}) EXPECT_EQ(usbhost_close(h), 1);
  EXPECT_EQ(bus().OpenHandleCount(), 0);
}

TEST_F(InterfaceTest, UnplugFailsEveryHandleOnTheDevice) {
  const usbsim::DeviceId a = bus().Plug(root_, 1, Meter(u"AAAAAAAAA"));
  const usbsim::DeviceId b = bus().Plug(root_, 2, Meter(u"BBBBBBBBB"));
  const std::string path_a = bus().InterfacePath(a), path_b = bus().InterfacePath(b);
  const usbhost_handle probe = OpenFile(path_a);
  const usbhost_handle a0 = OpenFile(path_a + "\\0"), a1 = OpenFile(path_a + "\\1");
  const usbhost_handle b0 = OpenFile(path_b + "\\0"), b1 = OpenFile(path_b + "\\1");
  EXPECT_EQ(bus().OpenHandleCount(), 5);

  bus().Unplug(a);
  EXPECT_FALSE(bus().IsPlugged(a));
  EXPECT_EQ(bus().InterfacePath(a), "");
  std::string text;
  EXPECT_FALSE(Write(a0, "QPID"));
  EXPECT_FALSE(Read(a1, &text));
  EXPECT_EQ(OpenFile(path_a), USBHOST_INVALID);
  EXPECT_EQ(OpenFile(path_a + "\\0"), USBHOST_INVALID);
  // The other meter is untouched.
  EXPECT_TRUE(Write(b0, "IDN"));
  EXPECT_TRUE(Read(b1, &text));
  EXPECT_EQ(text, "IDN");

  // Handles on the gone device still close, once.
  EXPECT_EQ(bus().OpenHandleCount(), 5);
  for (usbhost_handle h : {probe, a0, a1}) {
    EXPECT_EQ(usbhost_close(h), 1);
    EXPECT_EQ(usbhost_close(h), 0);
  }
  EXPECT_EQ(bus().OpenHandleCount(), 2);

  // The port answers "nothing connected" now.
  const usbhost_handle root = OpenHub(root_);
  const IoctlResult r = Ioctl(root, kConnectionInformation, ConnectionRequest(1, 365), 365);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(U32(r.out, 31), 0u);
  EXPECT_EQ(usbhost_close(root), 1);

  // Unplugging twice or an unknown id changes nothing.
  bus().Unplug(a);
  bus().Unplug(12345);
  EXPECT_EQ(bus().InterfaceCount(), 1);
  for (usbhost_handle h : {b0, b1}) EXPECT_EQ(usbhost_close(h), 1);
}

TEST_F(InterfaceTest, UnplugHubTakesEverythingBelowIt) {
  const usbsim::NodeId hub = bus().AddHub(root_, 3, 2);
  const usbsim::NodeId inner = bus().AddHub(hub, 2, 2);
  const usbsim::DeviceId below = bus().Plug(inner, 1, Meter(u"AAAAAAAAA"));
  const usbsim::DeviceId beside = bus().Plug(root_, 1, Meter(u"BBBBBBBBB"));
  const usbhost_handle hub_handle = OpenHub(hub);
  const usbhost_handle pipe = OpenFile(bus().InterfacePath(below) + "\\0");
  ASSERT_NE(hub_handle, USBHOST_INVALID);
  ASSERT_NE(pipe, USBHOST_INVALID);

  bus().UnplugHub(hub);
  EXPECT_FALSE(bus().IsPlugged(below));
  EXPECT_TRUE(bus().IsPlugged(beside));
  EXPECT_EQ(bus().HubName(inner), "");
  EXPECT_EQ(InterfacePathAt(0), bus().InterfacePath(beside));
  EXPECT_FALSE(Ioctl(hub_handle, kNodeInformation, std::vector<uint8_t>(76), 76).ok);
  EXPECT_FALSE(Write(pipe, "X"));
  EXPECT_EQ(usbhost_close(hub_handle), 1);
  EXPECT_EQ(usbhost_close(pipe), 1);
  // The port is free again; a root hub is not removed this way.
  EXPECT_NE(bus().AddHub(root_, 3, 1), 0u);
  bus().UnplugHub(root_);
  EXPECT_NE(bus().HubName(root_), "");
}

TEST_F(InterfaceTest, ResetEmptiesTheBus) {
  const usbsim::DeviceId a = bus().Plug(root_, 1, Meter(u"AAAAAAAAA"));
  const std::string path = bus().InterfacePath(a);
  const usbhost_handle hcd = OpenController(0);
  const usbhost_handle pipe = OpenFile(path + "\\0");
  bus().SetControllerOpenFails(1, true);
  ASSERT_EQ(bus().OpenHandleCount(), 2);

  bus().Reset();
  EXPECT_EQ(bus().OpenHandleCount(), 0);
  EXPECT_EQ(usbhost_close(hcd), 0);
  EXPECT_EQ(usbhost_close(pipe), 0);
  EXPECT_EQ(bus().InterfaceCount(), 0);
  EXPECT_EQ(InterfacePathAt(0), "");
  EXPECT_FALSE(bus().IsPlugged(a));
  EXPECT_EQ(OpenController(0), USBHOST_INVALID);
  EXPECT_EQ(OpenFile(path), USBHOST_INVALID);

  // A new topology starts clean: fault switches are gone, and old handle
  // values do not come back to life.
  ASSERT_NE(bus().AddController(1, 2), 0u);
  const usbhost_handle fresh = OpenController(1);
  ASSERT_NE(fresh, USBHOST_INVALID);
  EXPECT_NE(fresh, hcd);
  EXPECT_NE(fresh, pipe);
  EXPECT_EQ(usbhost_close(fresh), 1);
}

// An endpoint that unplugs its own device while the host writes: the bus
// calls it outside its lock, so this must not deadlock.
class UnplugOnWrite : public usbsim::PipeEndpoint {
 public:
  bool OnHostWrite(const uint8_t*, uint32_t) override {
    usbsim::Bus::Instance().Unplug(device);
    return false;
  }
  bool OnHostRead(uint8_t*, uint32_t, uint32_t* done) override {
    *done = 0;
    return true;
  }
  usbsim::DeviceId device = 0;
};

TEST_F(InterfaceTest, EndpointMayChangeTheBusDuringAWrite) {
  auto endpoint = std::make_shared<UnplugOnWrite>();
  endpoint->device = bus().Plug(root_, 1, Meter(u"AAAAAAAAA", endpoint));
  const usbhost_handle pipe = OpenFile(bus().InterfacePath(endpoint->device) + "\\0");
  EXPECT_FALSE(Write(pipe, "QPID"));
  EXPECT_FALSE(bus().IsPlugged(endpoint->device));
  EXPECT_EQ(usbhost_close(pipe), 1);
}

}  // namespace
}  // namespace usbsim_test
