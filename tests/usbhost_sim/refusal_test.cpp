// Requests a real driver refuses fail here too: unknown or closed handles,
// an IOCTL on the wrong kind of node, wrong buffer sizes, ports that do not
// exist, names that name nothing, and the topology's own fault switches.
#include <functional>

#include "bus_fixture.h"

namespace usbsim_test {
namespace {

class RefusalTest : public MeterAndHubTest {
 protected:
  void SetUp() override {
    MeterAndHubTest::SetUp();
    if (HasFatalFailure()) return;
    path_ = bus().InterfacePath(meter_);
    hcd_ = OpenController(0);
    root_handle_ = OpenHub(root_);
    hub_handle_ = OpenHub(hub_);
    iface_ = OpenFile(path_);
    pipe0_ = OpenFile(path_ + "\\0");
    pipe1_ = OpenFile(path_ + "\\1");
    for (usbhost_handle h : {hcd_, root_handle_, hub_handle_, iface_, pipe0_, pipe1_}) {
      ASSERT_NE(h, USBHOST_INVALID);
    }
  }

  std::string path_;
  usbhost_handle hcd_ = USBHOST_INVALID, root_handle_ = USBHOST_INVALID,
                 hub_handle_ = USBHOST_INVALID, iface_ = USBHOST_INVALID, pipe0_ = USBHOST_INVALID,
                 pipe1_ = USBHOST_INVALID;
};

struct Refusal {
  const char* name;
  std::function<bool()> call;  // true when the call succeeded
};

// Whether an open succeeded; a handle it gave is closed again.
bool Opens(usbhost_handle h) {
  if (h == USBHOST_INVALID) return false;
  usbhost_close(h);
  return true;
}

TEST_F(RefusalTest, IoctlsADriverRefuses) {
  const auto root = root_handle_;
  const std::vector<Refusal> cases{
      {"unknown handle",
       [] { return Ioctl(0x12345, kNodeInformation, std::vector<uint8_t>(76), 76).ok; }},
      {"invalid handle",
       [] { return Ioctl(USBHOST_INVALID, kNodeInformation, std::vector<uint8_t>(76), 76).ok; }},
      {"connection info on a controller",
       [&] { return Ioctl(hcd_, kConnectionInformation, ConnectionRequest(1, 365), 365).ok; }},
      {"descriptor on a controller",
       [&] { return Ioctl(hcd_, kDescriptor, DescriptorRequest(1, 0x0200, 0, 9, 9), 21).ok; }},
      {"root hub name with 5 bytes", [&] { return Ioctl(hcd_, kRootHubName, {}, 5).ok; }},
      {"root hub name without a buffer", [&] { return Ioctl(hcd_, kRootHubName, {}, 0).ok; }},
      {"ioctl on the interface", [&] { return Ioctl(iface_, kRootHubName, {}, 6).ok; }},
      {"ioctl on a pipe",
       [&] { return Ioctl(pipe0_, kConnectionInformation, ConnectionRequest(1, 365), 365).ok; }},
      {"unknown code on a hub",
       [&] { return Ioctl(root, 0x220400, std::vector<uint8_t>(76), 76).ok; }},
      {"node info in 75",
       [&] { return Ioctl(root, kNodeInformation, std::vector<uint8_t>(75), 76).ok; }},
      {"node info out 75",
       [&] { return Ioctl(root, kNodeInformation, std::vector<uint8_t>(76), 75).ok; }},
      {"node info in 77",
       [&] { return Ioctl(root, kNodeInformation, std::vector<uint8_t>(77), 76).ok; }},
      {"node info out 77",
       [&] { return Ioctl(root, kNodeInformation, std::vector<uint8_t>(76), 77).ok; }},
      {"connection info in 34",
       [&] { return Ioctl(root, kConnectionInformation, ConnectionRequest(1, 34), 365).ok; }},
      {"connection info out 34",
       [&] { return Ioctl(root, kConnectionInformation, ConnectionRequest(1, 365), 34).ok; }},
      {"connection info port 0",
       [&] { return Ioctl(root, kConnectionInformation, ConnectionRequest(0, 365), 365).ok; }},
      {"connection info port 5 of 4",
       [&] { return Ioctl(root, kConnectionInformation, ConnectionRequest(5, 365), 365).ok; }},
      {"connection info port 3 of 2",
       [&] {
         return Ioctl(hub_handle_, kConnectionInformation, ConnectionRequest(3, 365), 365).ok;
       }},
      {"connection name out 9",
       [&] { return Ioctl(root, kConnectionName, ConnectionRequest(3, 10), 9).ok; }},
      {"connection name in 9",
       [&] { return Ioctl(root, kConnectionName, ConnectionRequest(3, 9), 10).ok; }},
      {"connection name port 0",
       [&] { return Ioctl(root, kConnectionName, ConnectionRequest(0, 10), 10).ok; }},
      {"connection name port 5 of 4",
       [&] { return Ioctl(root, kConnectionName, ConnectionRequest(5, 10), 10).ok; }},
      {"descriptor out 11",
       [&] { return Ioctl(root, kDescriptor, DescriptorRequest(1, 0x0200, 0, 9, 9), 11).ok; }},
      {"descriptor in 11",
       [&] {
         auto in = DescriptorRequest(1, 0x0200, 0, 9, 0);
         in.resize(11);
         return Ioctl(root, kDescriptor, in, 21).ok;
       }},
      {"descriptor on an empty port",
       [&] { return Ioctl(root, kDescriptor, DescriptorRequest(2, 0x0200, 0, 9, 9), 21).ok; }},
      {"descriptor port 0",
       [&] { return Ioctl(root, kDescriptor, DescriptorRequest(0, 0x0200, 0, 9, 9), 21).ok; }},
      {"descriptor port 5 of 4",
       [&] { return Ioctl(root, kDescriptor, DescriptorRequest(5, 0x0200, 0, 9, 9), 21).ok; }},
      {"unknown descriptor type",
       [&] { return Ioctl(root, kDescriptor, DescriptorRequest(1, 0x0700, 0, 9, 9), 21).ok; }},
      {"second configuration",
       [&] { return Ioctl(root, kDescriptor, DescriptorRequest(1, 0x0201, 0, 9, 9), 21).ok; }},
      {"string of a device without that index",
       [&] {
         return Ioctl(root, kDescriptor, DescriptorRequest(1, 0x0301, 0x0409, 255, 255), 267).ok;
       }},
      {"no returned count",
       [&] {
         std::vector<uint8_t> b(76);
         return usbhost_ioctl(root, kNodeInformation, b.data(), 76, b.data(), 76, nullptr) == 1;
       }},
      {"in size without a buffer",
       [&] {
         std::vector<uint8_t> b(76);
         uint32_t n = 0;
         return usbhost_ioctl(root, kNodeInformation, nullptr, 76, b.data(), 76, &n) == 1;
       }},
      {"out size without a buffer",
       [&] {
         std::vector<uint8_t> b(76);
         uint32_t n = 0;
         return usbhost_ioctl(root, kNodeInformation, b.data(), 76, nullptr, 76, &n) == 1;
       }},
  };
  for (const Refusal& c : cases) EXPECT_FALSE(c.call()) << c.name;
}

TEST_F(RefusalTest, OpensThatNameNothing) {
  const std::string hub_name = bus().HubName(hub_);
  const std::vector<std::string> paths{
      "",
      "\\\\.\\HCD1",  // no such controller
      "\\\\.\\HCD10",
      "\\\\.\\hcd0",  // names compare exactly
      "\\\\.\\HCD0 ",
      "HCD0",
      hub_name,  // without "\\.\"
      "\\\\.\\" + hub_name + "x",
      path_ + "\\2",
      path_ + "\\00",
      path_ + "\\",
      path_ + "0",
      path_ + "\\-1",
      path_.substr(0, path_.size() - 1),
  };
  for (const std::string& p : paths) EXPECT_FALSE(Opens(OpenFile(p))) << p;
  EXPECT_EQ(usbhost_open(nullptr, kReadWrite, kShareReadWrite), USBHOST_INVALID);
}

TEST_F(RefusalTest, ReadsAndWritesADriverRefuses) {
  uint8_t byte = 0x41;
  uint32_t done = 99;
  const std::vector<Refusal> cases{
      {"write on pipe 1", [&] { return usbhost_write(pipe1_, &byte, 1, &done) == 1; }},
      {"read on pipe 0", [&] { return usbhost_read(pipe0_, &byte, 1, &done) == 1; }},
      {"write on the interface", [&] { return usbhost_write(iface_, &byte, 1, &done) == 1; }},
      {"read on the interface", [&] { return usbhost_read(iface_, &byte, 1, &done) == 1; }},
      {"write on a hub", [&] { return usbhost_write(root_handle_, &byte, 1, &done) == 1; }},
      {"read on a controller", [&] { return usbhost_read(hcd_, &byte, 1, &done) == 1; }},
      {"write on an unknown handle", [&] { return usbhost_write(0x12345, &byte, 1, &done) == 1; }},
      {"write without done", [&] { return usbhost_write(pipe0_, &byte, 1, nullptr) == 1; }},
      {"read without done", [&] { return usbhost_read(pipe1_, &byte, 1, nullptr) == 1; }},
      {"write of bytes without a buffer",
       [&] { return usbhost_write(pipe0_, nullptr, 1, &done) == 1; }},
      {"read into no buffer", [&] { return usbhost_read(pipe1_, nullptr, 1, &done) == 1; }},
      {"write on a pipe opened for reading only",
       [&] {
         const usbhost_handle h = OpenFile(path_ + "\\0", USBHOST_GENERIC_READ);
         const bool ok = usbhost_write(h, &byte, 1, &done) == 1;
         usbhost_close(h);
         return ok;
       }},
      {"read on a pipe opened for writing only",
       [&] {
         const usbhost_handle h = OpenFile(path_ + "\\1", USBHOST_GENERIC_WRITE);
         const bool ok = usbhost_read(h, &byte, 1, &done) == 1;
         usbhost_close(h);
         return ok;
       }},
  };
  for (const Refusal& c : cases) {
    done = 99;
    EXPECT_FALSE(c.call()) << c.name;
    EXPECT_TRUE(done == 0 || done == 99) << c.name;
  }
}

TEST_F(RefusalTest, ClosedHandlesFailAndCloseOnlyOnce) {
  for (usbhost_handle h : {hcd_, root_handle_, iface_, pipe0_, pipe1_}) {
    ASSERT_EQ(usbhost_close(h), 1);
    EXPECT_EQ(usbhost_close(h), 0);
  }
  EXPECT_FALSE(Ioctl(hcd_, kRootHubName, {}, 6).ok);
  EXPECT_FALSE(Ioctl(root_handle_, kNodeInformation, std::vector<uint8_t>(76), 76).ok);
  uint8_t byte = 0;
  uint32_t done = 0;
  EXPECT_EQ(usbhost_write(pipe0_, &byte, 1, &done), 0);
  EXPECT_EQ(usbhost_read(pipe1_, &byte, 1, &done), 0);
  EXPECT_EQ(usbhost_close(USBHOST_INVALID), 0);
  EXPECT_EQ(bus().OpenHandleCount(), 1);  // hub_handle_
}

TEST_F(RefusalTest, TopologyFaultSwitches) {
  struct Switch {
    const char* name;
    std::function<void(bool)> set;
    std::function<bool()> call;  // true when the call succeeded
  };
  const std::vector<Switch> switches{
      {"controller open", [](bool f) { bus().SetControllerOpenFails(0, f); },
       [] { return Opens(OpenController(0)); }},
      {"root hub name", [](bool f) { bus().SetRootHubNameFails(0, f); },
       [&] { return Ioctl(hcd_, kRootHubName, {}, 6).ok; }},
      {"hub name on its parent port", [&](bool f) { bus().SetHubNameFails(hub_, f); },
       [&] { return Ioctl(root_handle_, kConnectionName, ConnectionRequest(3, 10), 10).ok; }},
      {"node information", [&](bool f) { bus().SetNodeInfoFails(hub_, f); },
       [&] { return Ioctl(hub_handle_, kNodeInformation, std::vector<uint8_t>(76), 76).ok; }},
      {"hub open", [&](bool f) { bus().SetHubOpenFails(hub_, f); },
       [&] { return Opens(OpenHub(hub_)); }},
  };
  for (const Switch& s : switches) {
    SCOPED_TRACE(s.name);
    EXPECT_TRUE(s.call());
    s.set(true);
    EXPECT_FALSE(s.call());
    s.set(false);
    EXPECT_TRUE(s.call());
  }
  // A switch on one node leaves the others alone.
  bus().SetNodeInfoFails(hub_, true);
  EXPECT_TRUE(Ioctl(root_handle_, kNodeInformation, std::vector<uint8_t>(76), 76).ok);
}

}  // namespace
}  // namespace usbsim_test
