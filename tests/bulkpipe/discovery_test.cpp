// CheckUSBDevices against the simulated bus: which devices count as meters,
// the order and form of the serial list, and how each failure of the bus
// drops only the unit in which it happened.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "bulkpipe.h"
#include "bus/sim_bus.h"
#include "serial_listing.h"

namespace {

using usbsim::Bus;
using usbsim::NodeId;
using usbsim::SimulatedDevice;

SimulatedDevice Meter(const std::u16string& serial) {
  SimulatedDevice details;
  details.serial = serial;
  return details;
}

// The strict listing, and once more without a buffer.
SerialListing Check() {
  const SerialListing listing = ListSerials();
  EXPECT_EQ(CheckUSBDevices(nullptr), listing.count) << "a null buffer changes the count";
  return listing;
}

class DiscoveryTest : public ::testing::Test {
 protected:
  void SetUp() override { Bus::Instance().Reset(); }
  void TearDown() override {
    EXPECT_EQ(Bus::Instance().OpenHandleCount(), 0) << "a controller or hub handle leaked";
    Bus::Instance().Reset();
  }
  Bus& bus = Bus::Instance();
};

struct TopologyCase {
  const char* name;
  std::function<void(Bus&)> build;
  int32_t count;
  const char* list;
};
void PrintTo(const TopologyCase& c, std::ostream* os) { *os << c.name; }

class TopologyTest : public DiscoveryTest, public ::testing::WithParamInterface<TopologyCase> {};

TEST_P(TopologyTest, CountsMetersAndListsTheirSerialsInWalkOrder) {
  GetParam().build(bus);
  const SerialListing outcome = Check();
  EXPECT_EQ(outcome.count, GetParam().count);
  EXPECT_EQ(outcome.list, GetParam().list);
}

SimulatedDevice With(SimulatedDevice details, const std::function<void(SimulatedDevice&)>& change) {
  change(details);
  return details;
}

const TopologyCase kTopologies[] = {
    {"EmptyBus", [](Bus&) {}, 0, ""},
    {"ControllerWithoutDevices", [](Bus& b) { b.AddController(0, 4); }, 0, ""},
    {"OnlyControllerOne", [](Bus& b) { b.Plug(b.AddController(1, 4), 2, Meter(u"A00000001")); }, 1,
     "A00000001"},
    {"GapsBetweenControllers",
     [](Bus& b) {
       b.Plug(b.AddController(7, 2), 1, Meter(u"B00000007"));
       b.Plug(b.AddController(3, 2), 2, Meter(u"B00000003"));
       b.Plug(b.AddController(9, 2), 2, Meter(u"B00000009"));
     },
     3, "B00000003,B00000007,B00000009"},
    {"BehindOneExternalHub",
     [](Bus& b) { b.Plug(b.AddHub(b.AddController(0, 2), 2, 4), 3, Meter(u"C00000001")); }, 1,
     "C00000001"},
    {"BehindTwoExternalHubs",
     [](Bus& b) {
       const NodeId outer = b.AddHub(b.AddController(0, 2), 1, 4);
       b.Plug(b.AddHub(outer, 4, 2), 2, Meter(u"D00000002"));
     },
     1, "D00000002"},
    {"BehindFiveExternalHubs",
     [](Bus& b) {
       NodeId hub = b.AddController(2, 1);
       for (int tier = 0; tier < 5; ++tier) hub = b.AddHub(hub, 1, 1);
       b.Plug(hub, 1, Meter(u"E00000005"));
     },
     1, "E00000005"},
    {"DepthFirstPreOrderAcrossControllersPortsAndHubs",
     [](Bus& b) {
       // Plugged in an order unlike the walk, so insertion order cannot pass.
       const NodeId root1 = b.AddController(1, 4);
       b.Plug(root1, 1, Meter(u"P00000007"));
       const NodeId root0 = b.AddController(0, 4);
       b.Plug(root0, 4, Meter(u"P00000006"));
       const NodeId hub = b.AddHub(root0, 3, 4);
       const NodeId inner = b.AddHub(hub, 1, 2);
       b.Plug(hub, 4, Meter(u"P00000005"));
       b.Plug(inner, 2, Meter(u"P00000004"));
       b.Plug(inner, 1, Meter(u"P00000003"));
       b.Plug(root0, 2, Meter(u"P00000002"));
       b.Plug(root0, 1, Meter(u"P00000001"));
     },
     7, "P00000001,P00000002,P00000003,P00000004,P00000005,P00000006,P00000007"},
    {"OtherVendorIsNotAMeter",
     [](Bus& b) {
       const NodeId root = b.AddController(0, 3);
       b.Plug(root, 1, With(Meter(u"V00000001"), [](SimulatedDevice& s) { s.vendor_id = 0x5A2E; }));
       b.Plug(root, 2, Meter(u"V00000002"));
     },
     1, "V00000002"},
    {"OtherProductIsNotAMeter",
     [](Bus& b) {
       const NodeId root = b.AddController(0, 3);
       b.Plug(root, 1,
              With(Meter(u"W00000001"), [](SimulatedDevice& s) { s.product_id = 0x3001; }));
       b.Plug(root, 3, Meter(u"W00000003"));
     },
     1, "W00000003"},
    {"NoSerialNumberIndexIsNotAMeter",
     [](Bus& b) {
       b.Plug(b.AddController(0, 2), 1,
              With(Meter(u"S00000001"), [](SimulatedDevice& s) { s.serial_index = 0; }));
     },
     0, ""},
    {"LongSerialKeepsItsFirstNineCharacters",
     [](Bus& b) { b.Plug(b.AddController(0, 2), 1, Meter(u"LX4012345678901")); }, 1, "LX4012345"},
    {"ShortSerialIsPaddedWithSpaces",
     [](Bus& b) { b.Plug(b.AddController(0, 2), 1, Meter(u"AB12")); }, 1, "AB12     "},
    {"EmptySerialIsAllSpaces", [](Bus& b) { b.Plug(b.AddController(0, 2), 1, Meter(u"")); }, 1,
     "         "},
    {"SerialUnitsGiveTheirLowBytes",
     [](Bus& b) { b.Plug(b.AddController(0, 2), 1, Meter(u"\u0141\u2033Z1234567")); }, 1,
     "A3Z123456"},
    {"SerialUnitWithZeroLowByteDoesNotEndTheList",
     [](Bus& b) {
       const NodeId root = b.AddController(0, 2);
       b.Plug(root, 1, Meter(u"N\u01000000001"));
       b.Plug(root, 2, Meter(u"N00000002"));
     },
     2, "N?0000001,N00000002"},
    {"EmptyLanguageListStillCountsTheMeter",
     [](Bus& b) {
       b.Plug(b.AddController(0, 2), 1,
              With(Meter(u"L00000001"), [](SimulatedDevice& s) { s.languages.clear(); }));
     },
     1, "?????????"},
    {"LastLanguageThatReadsGivesTheSerial",
     [](Bus& b) {
       b.Plug(b.AddController(0, 2), 1, With(Meter(u"J00000001"), [](SimulatedDevice& s) {
                s.languages = {0x0409, 0x0411, 0x0407};
              }));
     },
     1, "J00000001"},
    {"HubWithNoPorts",
     [](Bus& b) {
       const NodeId root = b.AddController(0, 3);
       b.AddHub(root, 1, 0);
       b.Plug(root, 2, Meter(u"H00000002"));
     },
     1, "H00000002"},
    {"ControllerThatCannotBeOpenedIsSkipped",
     [](Bus& b) {
       b.Plug(b.AddController(0, 2), 1, Meter(u"F00000000"));
       b.Plug(b.AddController(1, 2), 1, Meter(u"F00000001"));
       b.SetControllerOpenFails(0, true);
     },
     1, "F00000001"},
    {"RootHubNameFailureSkipsThatTree",
     [](Bus& b) {
       b.Plug(b.AddController(0, 2), 1, Meter(u"R00000000"));
       b.Plug(b.AddController(1, 2), 1, Meter(u"R00000001"));
       b.SetRootHubNameFails(0, true);
     },
     1, "R00000001"},
    {"HubNameFailureSkipsOnlyThatHub",
     [](Bus& b) {
       const NodeId root = b.AddController(0, 3);
       b.Plug(root, 1, Meter(u"K00000001"));
       const NodeId hub = b.AddHub(root, 2, 2);
       b.Plug(hub, 1, Meter(u"K00000002"));
       b.Plug(root, 3, Meter(u"K00000003"));
       b.SetHubNameFails(hub, true);
     },
     2, "K00000001,K00000003"},
    {"HubThatCannotBeOpenedIsSkipped",
     [](Bus& b) {
       const NodeId root = b.AddController(0, 3);
       const NodeId hub = b.AddHub(root, 1, 2);
       b.Plug(hub, 1, Meter(u"O00000001"));
       b.Plug(root, 2, Meter(u"O00000002"));
       b.SetHubOpenFails(hub, true);
     },
     1, "O00000002"},
    {"NodeInformationFailureSkipsThePorts",
     [](Bus& b) {
       const NodeId root = b.AddController(0, 3);
       const NodeId hub = b.AddHub(root, 1, 2);
       b.Plug(hub, 2, Meter(u"I00000001"));
       b.Plug(root, 3, Meter(u"I00000003"));
       b.SetNodeInfoFails(hub, true);
     },
     1, "I00000003"},
    {"RootNodeInformationFailureSkipsTheController",
     [](Bus& b) {
       const NodeId root = b.AddController(0, 3);
       b.Plug(root, 1, Meter(u"G00000000"));
       b.Plug(b.AddController(5, 1), 1, Meter(u"G00000005"));
       b.SetNodeInfoFails(root, true);
     },
     1, "G00000005"},
};

INSTANTIATE_TEST_SUITE_P(Topologies, TopologyTest, ::testing::ValuesIn(kTopologies),
                         [](const auto& c) { return std::string(c.param.name); });

// Each lie in a device's descriptor replies: whether the device still counts.
struct FaultCase {
  const char* name;
  std::function<void(usbsim::DescriptorFaults&)> set;
  bool counted;
  const char* entry;  // its list entry when counted
};
void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class DescriptorFaultTest : public DiscoveryTest,
                            public ::testing::WithParamInterface<FaultCase> {};

TEST_P(DescriptorFaultTest, DropsOnlyTheLyingDevice) {
  const NodeId root = bus.AddController(0, 3);
  bus.Plug(root, 1, Meter(u"M00000001"));
  SimulatedDevice liar = Meter(u"M00000002");
  GetParam().set(liar.faults);
  bus.Plug(root, 2, liar);
  bus.Plug(root, 3, Meter(u"M00000003"));

  const SerialListing outcome = Check();
  if (GetParam().counted) {
    EXPECT_EQ(outcome.count, 3);
    EXPECT_EQ(outcome.list, std::string("M00000001,") + GetParam().entry + ",M00000003");
  } else {
    EXPECT_EQ(outcome.count, 2);
    EXPECT_EQ(outcome.list, "M00000001,M00000003");
  }
}

const FaultCase kFaults[] = {
    {"ConnectionInformationFails", [](auto& f) { f.connection_info_fails = true; }, false, ""},
    {"TotalLengthBelowNine", [](auto& f) { f.config_total_length = 8; }, false, ""},
    {"TotalLengthZero", [](auto& f) { f.config_total_length = 0; }, false, ""},
    {"TotalLengthLargerThanTheDescriptor", [](auto& f) { f.config_total_length = 4000; }, false,
     ""},
    {"SecondConfigurationReadShort", [](auto& f) { f.config_second_read_short = true; }, false, ""},
    {"SecondConfigurationLengthDiffers", [](auto& f) { f.config_second_length_differs = true; },
     false, ""},
    {"LanguageListFails", [](auto& f) { f.language_list_fails = true; }, false, ""},
    {"StringOddLength", [](auto& f) { f.string_odd_length = true; }, false, ""},
    {"StringWrongType", [](auto& f) { f.string_wrong_type = true; }, false, ""},
    {"StringLengthDisagrees", [](auto& f) { f.string_length_disagrees = true; }, false, ""},
    {"SerialStringFailsInEveryLanguage", [](auto& f) { f.serial_string_fails = true; }, true,
     "?????????"},
};

INSTANTIATE_TEST_SUITE_P(Faults, DescriptorFaultTest, ::testing::ValuesIn(kFaults),
                         [](const auto& c) { return std::string(c.param.name); });

TEST_F(DiscoveryTest, EveryCallStartsAfreshFromTheCurrentBus) {
  const NodeId root = bus.AddController(0, 3);
  bus.Plug(root, 1, Meter(u"T00000001"));
  const usbsim::DeviceId second = bus.Plug(root, 2, Meter(u"T00000002"));

  std::vector<char> buffer(64, 'X');
  EXPECT_EQ(CheckUSBDevices(buffer.data()), 2);
  EXPECT_STREQ(buffer.data(), "T00000001,T00000002");
  EXPECT_EQ(CheckUSBDevices(buffer.data()), 2);
  EXPECT_STREQ(buffer.data(), "T00000001,T00000002");

  bus.Unplug(second);
  EXPECT_EQ(CheckUSBDevices(buffer.data()), 1);
  EXPECT_STREQ(buffer.data(), "T00000001");

  bus.Reset();
  EXPECT_EQ(CheckUSBDevices(buffer.data()), 0);
  EXPECT_STREQ(buffer.data(), "");
}

TEST_F(DiscoveryTest, MetersBehindEveryPortOfEveryControllerAreAllFound) {
  int plugged = 0;
  std::string expected;
  for (int number = 0; number < 10; ++number) {
    const NodeId root = bus.AddController(number, 2);
    const NodeId hub = bus.AddHub(root, 2, 7);
    for (int port = 1; port <= 7; ++port) {
      std::u16string serial = u"Z0000";
      serial += static_cast<char16_t>(u'0' + number);
      serial += u"00";
      serial += static_cast<char16_t>(u'0' + port);
      bus.Plug(hub, port, Meter(serial));
      expected += (plugged++ == 0 ? "" : ",") + std::string(serial.begin(), serial.end());
    }
  }
  const SerialListing outcome = Check();
  EXPECT_EQ(outcome.count, plugged);
  EXPECT_EQ(outcome.list, expected);
}

}  // namespace
