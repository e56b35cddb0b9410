// Plugging and unplugging while other threads walk the hubs and talk on the
// pipes. Run under the thread sanitizer to see data races; here it checks
// that nothing crashes, that every reply belongs to its request, and that no
// handle is left open.
#include <thread>

#include "bus_fixture.h"

namespace usbsim_test {
namespace {

constexpr int kRounds = 200;

class ConcurrencyTest : public BusTest {};

TEST_F(ConcurrencyTest, PlugAndUnplugWhileTheHostWorks) {
  const usbsim::NodeId root = bus().AddController(0, 4);
  const usbsim::NodeId hub = bus().AddHub(root, 4, 2);
  ASSERT_NE(hub, 0u);
  std::thread plugger([&] {
    for (int i = 0; i < kRounds; ++i) {
      const usbsim::DeviceId a = bus().Plug(root, 1, Meter(u"AAAAAAAAA"));
      const usbsim::DeviceId b = bus().Plug(hub, 2, Meter(u"BBBBBBBBB"));
      std::this_thread::yield();
      bus().Unplug(a);
      std::this_thread::yield();
      bus().Unplug(b);
    }
  });

  int mismatches = 0;
  std::thread talker([&] {
    for (int n = 1; n <= kRounds; ++n) {
      const std::string path = InterfacePathAt(n % 2);
      if (path.empty()) continue;
      const usbhost_handle p0 = OpenFile(path + "\\0");
      const usbhost_handle p1 = OpenFile(path + "\\1");
      const std::string token = std::to_string(n) + "T";
      uint32_t done = 0;
      if (usbhost_write(p0, token.data(), static_cast<uint32_t>(token.size()), &done) == 1) {
        char reply[64];
        if (usbhost_read(p1, reply, sizeof reply, &done) == 1 && done != 0 &&
            std::string(reply, done) != token) {
          ++mismatches;
        }
      }
      usbhost_close(p0);
      usbhost_close(p1);
    }
  });

  std::thread walker([&] {
    for (int i = 0; i < kRounds; ++i) {
      const usbhost_handle hcd = OpenController(0);
      const usbhost_handle h = OpenHub(hub);
      for (uint32_t port = 1; port <= 2; ++port) {
        Ioctl(h, kConnectionInformation, ConnectionRequest(port, 365), 365);
        Ioctl(h, kDescriptor, DescriptorRequest(port, 0x0200, 0, 9, 9), 21);
      }
      Ioctl(hcd, kRootHubName, {}, 6);
      usbhost_close(h);
      usbhost_close(hcd);
    }
  });

  plugger.join();
  talker.join();
  walker.join();
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(bus().OpenHandleCount(), 0);
  EXPECT_EQ(bus().InterfaceCount(), 0);
}

TEST_F(ConcurrencyTest, ResetWhileHandlesAreInUse) {
  std::thread resetter([&] {
    for (int i = 0; i < kRounds; ++i) {
      const usbsim::NodeId root = bus().AddController(0, 1);
      bus().Plug(root, 1, Meter(u"AAAAAAAAA"));
      std::this_thread::yield();
      bus().Reset();
    }
  });
  std::thread user([&] {
    for (int i = 0; i < kRounds; ++i) {
      const std::string path = InterfacePathAt(0);
      const usbhost_handle p0 = OpenFile(path + "\\0");
      uint32_t done = 0;
      usbhost_write(p0, "X", 1, &done);
      usbhost_close(p0);
      (void)bus().OpenHandleCount();
    }
  });
  resetter.join();
  user.join();
  bus().Reset();
  EXPECT_EQ(bus().OpenHandleCount(), 0);
}

}  // namespace
}  // namespace usbsim_test
