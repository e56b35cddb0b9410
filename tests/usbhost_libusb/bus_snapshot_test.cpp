// The snapshot of the system's devices: Linux bus numbers become the dense
// controllers the walk visits, hubs and devices find their ports, meters are
// listed with their device file and kernel name, and the hub driver's
// records are answered from it.
#include "bus_snapshot.h"

#include <gtest/gtest.h>

#include "found_devices.h"
#include "hub_records.h"

namespace libusb_test {
namespace {

using usbhost_libusb::BuildSnapshot;
using usbhost_libusb::BusSnapshot;
using usbhost_libusb::FoundDevice;
namespace records = usbtopo::records;

// The connection information of `port` on the hub `hub`, as the walk asks.
std::vector<uint8_t> ConnectionInfo(const BusSnapshot& snapshot, usbtopo::NodeId hub,
                                    uint32_t port) {
  std::vector<uint8_t> in(365, 0);
  records::PutU32(in.data(), port);
  std::vector<uint8_t> out(365, 0);
  uint32_t returned = 0;
  if (!usbtopo::HubIoctl(snapshot.topology, hub, records::kIoctlGetNodeConnectionInformation, in,
                         out.data(), static_cast<uint32_t>(out.size()), &returned)) {
    return {};
  }
  out.resize(returned);
  return out;
}

TEST(BusSnapshot, BusNumbersBecomeDenseControllersInBusOrder) {
  // Buses 7, 2 and 4, found in that order: HCD0 is bus 2, HCD1 bus 4, HCD2 bus 7.
  const BusSnapshot s = BuildSnapshot({RootHub(7, 2), Meter(7, {1}, 5, "C00000007"), RootHub(2, 4),
                                       RootHub(4, 1), Meter(2, {3}, 9, "A00000002")});
  for (int c = 0; c < 3; ++c) EXPECT_TRUE(s.topology.controllers[c].present) << c;
  for (int c = 3; c < usbtopo::kControllerCount; ++c)
    EXPECT_FALSE(s.topology.controllers[c].present);
  EXPECT_EQ(s.topology.hubs.at(s.topology.controllers[0].root_hub).ports.size(), 4u);
  EXPECT_EQ(s.topology.hubs.at(s.topology.controllers[1].root_hub).ports.size(), 1u);
  EXPECT_EQ(s.topology.hubs.at(s.topology.controllers[2].root_hub).ports.size(), 2u);
  ASSERT_EQ(s.meters.size(), 2u);
  // In bus order; the kernel's names keep the Linux bus numbers.
  EXPECT_EQ(s.meters[0].location, "2-3");
  EXPECT_EQ(s.meters[0].path, "/dev/bus/usb/002/009");
  EXPECT_EQ(s.meters[1].location, "7-1");
  EXPECT_EQ(s.meters[1].path, "/dev/bus/usb/007/005");
  const usbtopo::PortChain chain = usbtopo::ChainOf(s.topology, s.meters[1].device);
  EXPECT_EQ(chain.controller, 2);
  EXPECT_EQ(chain.ports, std::vector<int>{1});
}

TEST(BusSnapshot, OnlyTheFirstTenBusesAreWalked) {
  std::vector<FoundDevice> found;
  for (int bus = 1; bus <= 12; ++bus) {
    found.push_back(RootHub(bus, 1));
    found.push_back(Meter(bus, {1}, 2, "M0000000" + std::to_string(bus % 10)));
  }
  const BusSnapshot s = BuildSnapshot(found);
  ASSERT_EQ(s.meters.size(), 10u);
  EXPECT_EQ(s.meters.back().location, "10-1");
}

TEST(BusSnapshot, MetersBehindAnExternalHubHaveTheirPortChain) {
  const BusSnapshot s =
      BuildSnapshot({Meter(1, {2, 4}, 6, "B00000004"), RootHub(1, 2), Hub(1, {2}, 3, 4),
                     Meter(1, {2, 1}, 4, "B00000001"), Other(1, {1}, 2)});
  ASSERT_EQ(s.meters.size(), 2u);
  // By address: the order they were plugged in.
  EXPECT_EQ(s.meters[0].location, "1-2.1");
  EXPECT_EQ(s.meters[1].location, "1-2.4");
  const usbtopo::PortChain chain = usbtopo::ChainOf(s.topology, s.meters[1].device);
  EXPECT_EQ(chain.controller, 0);
  EXPECT_EQ(chain.ports, (std::vector<int>{2, 4}));

  // The root hub reports the external hub on port 2 and a plain device on 1.
  const usbtopo::NodeId root = s.topology.controllers[0].root_hub;
  const auto on_hub_port = ConnectionInfo(s, root, 2);
  ASSERT_GE(on_hub_port.size(), records::kConnectionInfoFixedSize);
  EXPECT_EQ(on_hub_port[records::kDeviceIsHubOffset], 1);
  const auto on_other = ConnectionInfo(s, root, 1);
  ASSERT_GE(on_other.size(), records::kConnectionInfoFixedSize);
  EXPECT_EQ(on_other[records::kDeviceIsHubOffset], 0);
  EXPECT_EQ(records::GetU32(&on_other[records::kConnectionStatusOffset]),
            records::kDeviceConnected);

  // Below the hub: the meter on port 4 with its ids and its two pipes; port 2
  // is empty.
  const usbtopo::NodeId hub = s.topology.hubs.at(root).ports[1].hub;
  ASSERT_NE(hub, 0u);
  const auto meter = ConnectionInfo(s, hub, 4);
  ASSERT_EQ(meter.size(), records::kConnectionInfoFixedSize + 2 * records::kPipeInfoSize);
  EXPECT_EQ(records::GetU16(&meter[records::kDeviceDescriptorOffset + 8]),
            bulkpipe::kMeterVendorId);
  EXPECT_EQ(records::GetU16(&meter[records::kDeviceDescriptorOffset + 10]),
            bulkpipe::kMeterProductId);
  EXPECT_EQ(records::GetU16(&meter[records::kDeviceAddressOffset]), 6);
  const auto empty = ConnectionInfo(s, hub, 2);
  ASSERT_GE(empty.size(), records::kConnectionInfoFixedSize);
  EXPECT_EQ(records::GetU32(&empty[records::kConnectionStatusOffset]), records::kNoDeviceConnected);
  EXPECT_TRUE(ConnectionInfo(s, hub, 5).empty());  // the hub has 4 ports
}

TEST(BusSnapshot, DevicesWithoutAPlaceAreLeftOut) {
  const BusSnapshot s = BuildSnapshot({
      RootHub(1, 2), Meter(1, {3}, 2, "X00000001"),  // no port 3 on the root hub
      Meter(1, {2, 1}, 3, "X00000002"),              // below a hub that is not listed
      Meter(5, {1}, 2, "X00000003"),                 // on a bus without a root hub
      Meter(1, {1}, 0, "X00000004"),                 // no address
      Meter(1, {1}, 4, "A00000001"),
      Meter(1, {1}, 5, "A00000002"),  // the same port twice: the first one stays
  });
  ASSERT_EQ(s.meters.size(), 1u);
  EXPECT_EQ(s.meters[0].found.serial, "A00000001");
  EXPECT_EQ(s.topology.devices.size(), 1u);
}

TEST(BusSnapshot, IdsStayTheSameAcrossSnapshotsWhileNothingChanges) {
  const std::vector<FoundDevice> found{RootHub(1, 2), Hub(1, {1}, 2, 4),
                                       Meter(1, {1, 3}, 3, "A00000001")};
  const BusSnapshot a = BuildSnapshot(found);
  const BusSnapshot b = BuildSnapshot(found);
  ASSERT_EQ(a.meters.size(), 1u);
  ASSERT_EQ(b.meters.size(), 1u);
  EXPECT_EQ(a.meters[0].device, b.meters[0].device);
  std::vector<std::string> names_a, names_b;
  for (const auto& [id, hub] : a.topology.hubs) names_a.push_back(hub.name);
  for (const auto& [id, hub] : b.topology.hubs) names_b.push_back(hub.name);
  EXPECT_EQ(names_a, names_b);
}

}  // namespace
}  // namespace libusb_test
