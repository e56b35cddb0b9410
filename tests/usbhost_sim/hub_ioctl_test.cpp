// The hub driver's records: root hub name, node information, connection
// information and name, and descriptors read through the hub, including the
// deliberate descriptor faults.
#include <functional>

#include "bus_fixture.h"

namespace usbsim_test {
namespace {

class HubIoctlTest : public MeterAndHubTest {
 protected:
  usbhost_handle RootHandle() {
    const usbhost_handle h = OpenHub(root_);
    EXPECT_NE(h, USBHOST_INVALID);
    return h;
  }
};

TEST_F(HubIoctlTest, RootHubNameIsReadInTwoSteps) {
  const usbhost_handle hcd = OpenController(0);
  ASSERT_NE(hcd, USBHOST_INVALID);
  const std::string name = bus().HubName(root_);
  ASSERT_EQ(name.rfind("USB#ROOT_HUB", 0), 0u);

  const IoctlResult size = Ioctl(hcd, kRootHubName, {}, 6);
  ASSERT_TRUE(size.ok);
  EXPECT_EQ(size.returned, 6u);
  const uint32_t actual = U32(size.out, 0);
  EXPECT_EQ(actual, 4 + (name.size() + 1) * 2);

  const IoctlResult full = Ioctl(hcd, kRootHubName, {}, actual);
  ASSERT_TRUE(full.ok);
  EXPECT_EQ(full.returned, actual);
  EXPECT_EQ(U32(full.out, 0), actual);
  EXPECT_EQ(Ascii(full.out, 4, name.size()), name);
  EXPECT_EQ(U16(full.out, actual - 2), 0);

  // A buffer between the two sizes gets the size answer and nothing more.
  const IoctlResult between = Ioctl(hcd, kRootHubName, {}, actual - 1);
  ASSERT_TRUE(between.ok);
  EXPECT_EQ(between.returned, 6u);
  EXPECT_EQ(U32(between.out, 0), actual);
  EXPECT_EQ(between.out[6], kSentinel);

  // The host prepends "\\.\" and opens the hub by that name.
  const usbhost_handle hub = OpenFile("\\\\.\\" + Ascii(full.out, 4, name.size()));
  EXPECT_NE(hub, USBHOST_INVALID);
  EXPECT_EQ(usbhost_close(hub), 1);
  EXPECT_EQ(usbhost_close(hcd), 1);
}

TEST_F(HubIoctlTest, HubNamesAreUnique) {
  const usbsim::NodeId root1 = bus().AddController(1, 2);
  const usbsim::NodeId hub2 = bus().AddHub(root1, 2, 4);
  const usbsim::NodeId hub3 = bus().AddHub(hub_, 1, 4);
  const std::vector<std::string> names{bus().HubName(root_), bus().HubName(root1),
                                       bus().HubName(hub_), bus().HubName(hub2),
                                       bus().HubName(hub3)};
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_FALSE(names[i].empty());
    EXPECT_EQ(names[i].find('\\'), std::string::npos) << names[i];
    for (size_t j = i + 1; j < names.size(); ++j) EXPECT_NE(names[i], names[j]);
  }
}

TEST_F(HubIoctlTest, NodeInformationReportsThePortCount) {
  struct Case {
    int ports;
    bool external;
  };
  for (const Case c : {Case{0, true}, Case{1, true}, Case{7, false}, Case{255, true}}) {
    SCOPED_TRACE(c.ports);
    bus().Reset();
    usbsim::NodeId node = bus().AddController(2, c.external ? 1 : c.ports);
    if (c.external) node = bus().AddHub(node, 1, c.ports);
    ASSERT_NE(node, 0u);
    const usbhost_handle h = OpenHub(node);
    const IoctlResult r = Ioctl(h, kNodeInformation, std::vector<uint8_t>(76, 0), 76);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.returned, 76u);
    EXPECT_EQ(U32(r.out, 0), 0u);  // UsbHub
    EXPECT_EQ(r.out[5], 0x29);     // hub descriptor type
    EXPECT_EQ(r.out[6], c.ports);  // bNumberOfPorts
    EXPECT_GE(r.out[4], 9);        // bDescriptorLength
    EXPECT_EQ(r.out[75], c.external ? 1 : 0);
    EXPECT_EQ(usbhost_close(h), 1);
  }
}

TEST_F(HubIoctlTest, ConnectionInformationOfEachKindOfPort) {
  const usbhost_handle h = RootHandle();

  const IoctlResult empty = Ioctl(h, kConnectionInformation, ConnectionRequest(2, 365), 365);
  ASSERT_TRUE(empty.ok);
  EXPECT_EQ(empty.returned, 35u);
  EXPECT_EQ(U32(empty.out, 0), 2u);
  EXPECT_EQ(U32(empty.out, 31), 0u);  // NoDeviceConnected
  EXPECT_EQ(empty.out[24], 0);
  EXPECT_EQ(empty.out[35], kSentinel);

  const IoctlResult meter = Ioctl(h, kConnectionInformation, ConnectionRequest(1, 365), 365);
  ASSERT_TRUE(meter.ok);
  EXPECT_EQ(U32(meter.out, 0), 1u);
  EXPECT_EQ(meter.out[4], 18);  // bLength
  EXPECT_EQ(meter.out[5], 1);   // device descriptor
  EXPECT_EQ(U16(meter.out, 4 + 8), 0x5A2D);
  EXPECT_EQ(U16(meter.out, 4 + 10), 0x3000);
  EXPECT_EQ(meter.out[4 + 16], 3);    // iSerialNumber
  EXPECT_EQ(meter.out[22], 1);        // configured
  EXPECT_EQ(meter.out[24], 0);        // not a hub
  EXPECT_NE(U16(meter.out, 25), 0);   // has an address
  EXPECT_EQ(U32(meter.out, 27), 2u);  // two bulk pipes
  EXPECT_EQ(U32(meter.out, 31), 1u);  // DeviceConnected
  EXPECT_EQ(meter.returned, 35u + 2 * 11);
  EXPECT_EQ(meter.out[35 + 1], 5);  // endpoint descriptors follow
  EXPECT_EQ(meter.out[35 + 3], 2);  // bulk
  EXPECT_EQ(meter.out[35 + 11 + 3], 2);
  EXPECT_EQ(meter.out[meter.returned], kSentinel);

  const IoctlResult hub = Ioctl(h, kConnectionInformation, ConnectionRequest(3, 365), 365);
  ASSERT_TRUE(hub.ok);
  EXPECT_EQ(hub.out[24], 1);     // DeviceIsHub
  EXPECT_EQ(hub.out[4 + 4], 9);  // bDeviceClass: hub
  EXPECT_EQ(U32(hub.out, 31), 1u);
  EXPECT_EQ(usbhost_close(h), 1);
}

TEST_F(HubIoctlTest, ConnectionInformationWorksInOneSharedBuffer) {
  // Callers pass one buffer as input and output.
  const usbhost_handle h = RootHandle();
  std::vector<uint8_t> buffer = ConnectionRequest(1, 365);
  uint32_t returned = 0;
  ASSERT_EQ(
      usbhost_ioctl(h, kConnectionInformation, buffer.data(), 365, buffer.data(), 365, &returned),
      1);
  EXPECT_EQ(U32(buffer, 0), 1u);
  EXPECT_EQ(U16(buffer, 4 + 8), 0x5A2D);
  EXPECT_EQ(U32(buffer, 31), 1u);
  EXPECT_EQ(usbhost_close(h), 1);
}

TEST_F(HubIoctlTest, ConnectionNameOfAHubAndOfOtherPorts) {
  const usbhost_handle h = RootHandle();
  const std::string name = bus().HubName(hub_);

  const IoctlResult size = Ioctl(h, kConnectionName, ConnectionRequest(3, 10), 10);
  ASSERT_TRUE(size.ok);
  EXPECT_EQ(size.returned, 10u);
  const uint32_t actual = U32(size.out, 4);
  EXPECT_EQ(actual, 8 + (name.size() + 1) * 2);

  const IoctlResult full = Ioctl(h, kConnectionName, ConnectionRequest(3, actual), actual);
  ASSERT_TRUE(full.ok);
  EXPECT_EQ(full.returned, actual);
  EXPECT_EQ(U32(full.out, 0), 3u);
  EXPECT_EQ(Ascii(full.out, 8, name.size()), name);
  EXPECT_EQ(U16(full.out, actual - 2), 0);

  const IoctlResult between =
      Ioctl(h, kConnectionName, ConnectionRequest(3, actual - 2), actual - 2);
  ASSERT_TRUE(between.ok);
  EXPECT_EQ(between.returned, 10u);
  EXPECT_EQ(U32(between.out, 4), actual);

  for (uint32_t port : {1u, 2u, 4u}) {  // a device, empty, empty
    SCOPED_TRACE(port);
    const IoctlResult none = Ioctl(h, kConnectionName, ConnectionRequest(port, 10), 10);
    ASSERT_TRUE(none.ok);
    EXPECT_EQ(none.returned, 10u);
    EXPECT_EQ(U32(none.out, 4), 10u);
    EXPECT_EQ(U16(none.out, 8), 0);
  }
  EXPECT_EQ(usbhost_close(h), 1);
}

TEST_F(HubIoctlTest, ConfigurationDescriptorInTwoReads) {
  const usbhost_handle h = RootHandle();
  std::vector<uint8_t> first_in = DescriptorRequest(1, 0x0200, 0, 9, 9);
  const IoctlResult first = Ioctl(h, kDescriptor, first_in, 21);
  ASSERT_TRUE(first.ok);
  EXPECT_EQ(first.returned, 21u);
  EXPECT_TRUE(std::equal(first_in.begin(), first_in.begin() + 12, first.out.begin()));
  EXPECT_EQ(first.out[12 + 1], 2);
  const uint16_t total = U16(first.out, 12 + 2);
  ASSERT_GE(total, 9 + 9 + 7 + 7);

  const IoctlResult full =
      Ioctl(h, kDescriptor, DescriptorRequest(1, 0x0200, 0, total, total), 12u + total);
  ASSERT_TRUE(full.ok);
  EXPECT_EQ(full.returned, 12u + total);
  EXPECT_EQ(U16(full.out, 12 + 2), total);
  EXPECT_EQ(full.out[12 + 4], 1);      // bNumInterfaces
  EXPECT_EQ(full.out[12 + 9 + 1], 4);  // interface descriptor
  EXPECT_EQ(full.out[12 + 9 + 4], 2);  // bNumEndpoints
  const size_t ep0 = 12 + 18, ep1 = ep0 + 7;
  EXPECT_EQ(full.out[ep0 + 1], 5);
  EXPECT_EQ(full.out[ep1 + 1], 5);
  EXPECT_EQ(full.out[ep0 + 3], 2);  // bulk
  EXPECT_EQ(full.out[ep1 + 3], 2);
  EXPECT_NE(full.out[ep0 + 2] & 0x80, full.out[ep1 + 2] & 0x80);  // one OUT, one IN

  // A longer buffer gets no more than the descriptor holds.
  const IoctlResult longer =
      Ioctl(h, kDescriptor, DescriptorRequest(1, 0x0200, 0, 255, 255), 12 + 255);
  ASSERT_TRUE(longer.ok);
  EXPECT_EQ(longer.returned, 12u + total);
  EXPECT_EQ(usbhost_close(h), 1);
}

TEST_F(HubIoctlTest, StringDescriptorsByIndexAndLanguage) {
  usbsim::SimulatedDevice details = Meter(u"B98765432X");
  details.languages = {0x0409, 0x0411};
  details.serial_index = 5;
  ASSERT_NE(bus().Plug(root_, 4, details), 0u);
  const usbhost_handle h = RootHandle();

  const IoctlResult langs = Ioctl(h, kDescriptor, DescriptorRequest(4, 0x0300, 0, 255, 255), 267);
  ASSERT_TRUE(langs.ok);
  EXPECT_EQ(langs.out[12], 6);
  EXPECT_EQ(langs.out[13], 3);
  EXPECT_EQ(langs.returned, 12u + 6);
  EXPECT_EQ(U16(langs.out, 14), 0x0409);
  EXPECT_EQ(U16(langs.out, 16), 0x0411);

  for (uint16_t language : {uint16_t{0x0409}, uint16_t{0x0411}}) {
    const IoctlResult serial =
        Ioctl(h, kDescriptor, DescriptorRequest(4, 0x0305, language, 255, 255), 267);
    ASSERT_TRUE(serial.ok);
    EXPECT_EQ(serial.out[12], 2 + 2 * 10);
    EXPECT_EQ(serial.out[13], 3);
    EXPECT_EQ(serial.returned, 12u + 22);
    EXPECT_EQ(Ascii(serial.out, 14, 10), "B98765432X");
  }
  EXPECT_FALSE(Ioctl(h, kDescriptor, DescriptorRequest(4, 0x0305, 0x0407, 255, 255), 267).ok);
  EXPECT_FALSE(Ioctl(h, kDescriptor, DescriptorRequest(4, 0x0303, 0x0409, 255, 255), 267).ok);
  EXPECT_EQ(usbhost_close(h), 1);
}

// Each fault, seen through the reads the host makes.
struct FaultCase {
  const char* name;
  std::function<void(usbsim::DescriptorFaults&)> set;
  std::function<void(usbhost_handle)> check;
};

IoctlResult ConfigRead(usbhost_handle h, uint16_t length) {
  return Ioctl(h, kDescriptor, DescriptorRequest(1, 0x0200, 0, length, length), 12u + length);
}
IoctlResult StringRead(usbhost_handle h, uint8_t index) {
  return Ioctl(h, kDescriptor,
               DescriptorRequest(1, static_cast<uint16_t>(0x0300 | index),
                                 static_cast<uint16_t>(index ? 0x0409 : 0), 255, 255),
               267);
}
constexpr uint16_t kRealTotal = 32;

TEST_F(HubIoctlTest, DescriptorFaultsDoWhatTheySay) {
  const std::vector<FaultCase> cases{
      {"connection_info_fails", [](auto& f) { f.connection_info_fails = true; },
       [](usbhost_handle h) {
         EXPECT_FALSE(Ioctl(h, kConnectionInformation, ConnectionRequest(1, 365), 365).ok);
       }},
      {"config_total_length", [](auto& f) { f.config_total_length = 5; },
       [](usbhost_handle h) {
         EXPECT_EQ(U16(ConfigRead(h, 9).out, 14), 5);
         EXPECT_EQ(U16(ConfigRead(h, kRealTotal).out, 14), kRealTotal);
       }},
      {"config_second_read_short", [](auto& f) { f.config_second_read_short = true; },
       [](usbhost_handle h) {
         EXPECT_EQ(ConfigRead(h, 9).returned, 21u);
         const IoctlResult r = ConfigRead(h, kRealTotal);
         ASSERT_TRUE(r.ok);
         EXPECT_LT(r.returned, 12u + kRealTotal);
       }},
      {"config_second_length_differs", [](auto& f) { f.config_second_length_differs = true; },
       [](usbhost_handle h) {
         EXPECT_EQ(U16(ConfigRead(h, 9).out, 14), kRealTotal);
         const IoctlResult r = ConfigRead(h, kRealTotal);
         ASSERT_TRUE(r.ok);
         EXPECT_EQ(r.returned, 12u + kRealTotal);
         EXPECT_NE(U16(r.out, 14), kRealTotal);
       }},
      {"language_list_fails", [](auto& f) { f.language_list_fails = true; },
       [](usbhost_handle h) {
         EXPECT_FALSE(StringRead(h, 0).ok);
         EXPECT_TRUE(StringRead(h, 3).ok);
       }},
      {"serial_string_fails", [](auto& f) { f.serial_string_fails = true; },
       [](usbhost_handle h) {
         EXPECT_TRUE(StringRead(h, 0).ok);
         EXPECT_FALSE(StringRead(h, 3).ok);
       }},
      {"string_odd_length", [](auto& f) { f.string_odd_length = true; },
       [](usbhost_handle h) {
         for (uint8_t index : {uint8_t{0}, uint8_t{3}}) {
           const IoctlResult r = StringRead(h, index);
           ASSERT_TRUE(r.ok);
           EXPECT_EQ(r.out[12] % 2, 1);
           EXPECT_EQ(r.out[12], r.returned - 12);
           EXPECT_EQ(r.out[13], 3);
         }
       }},
      {"string_wrong_type", [](auto& f) { f.string_wrong_type = true; },
       [](usbhost_handle h) {
         const IoctlResult r = StringRead(h, 3);
         ASSERT_TRUE(r.ok);
         EXPECT_NE(r.out[13], 3);
         EXPECT_EQ(r.out[12], r.returned - 12);
       }},
      {"string_length_disagrees", [](auto& f) { f.string_length_disagrees = true; },
       [](usbhost_handle h) {
         const IoctlResult r = StringRead(h, 3);
         ASSERT_TRUE(r.ok);
         EXPECT_NE(r.out[12], r.returned - 12);
         EXPECT_EQ(r.out[12] % 2, 0);
         EXPECT_EQ(r.out[13], 3);
       }},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.name);
    bus().Unplug(meter_);
    usbsim::SimulatedDevice details = Meter(u"A12345678");
    c.set(details.faults);
    meter_ = bus().Plug(root_, 1, details);
    const usbhost_handle h = RootHandle();
    c.check(h);
    // The hub itself still answers for the other ports.
    EXPECT_TRUE(Ioctl(h, kConnectionInformation, ConnectionRequest(3, 365), 365).ok);
    EXPECT_EQ(usbhost_close(h), 1);
  }
}

TEST_F(HubIoctlTest, WithoutFaultsEveryReadAgreesWithItself) {
  // The control case for the fault table.
  const usbhost_handle h = RootHandle();
  EXPECT_EQ(U16(ConfigRead(h, 9).out, 14), kRealTotal);
  const IoctlResult config = ConfigRead(h, kRealTotal);
  EXPECT_EQ(config.returned, 12u + kRealTotal);
  EXPECT_EQ(U16(config.out, 14), kRealTotal);
  for (uint8_t index : {uint8_t{0}, uint8_t{3}}) {
    const IoctlResult r = StringRead(h, index);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.out[12], r.returned - 12);
    EXPECT_EQ(r.out[12] % 2, 0);
    EXPECT_EQ(r.out[13], 3);
  }
  EXPECT_EQ(usbhost_close(h), 1);
}

}  // namespace
}  // namespace usbsim_test
