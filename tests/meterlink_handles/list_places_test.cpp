// The listing that watches a station: every place with its port and plug
// generation, without a byte to any device, with what this process already
// knows of the meters it holds or left mid-table.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "handle_fixture.h"

namespace handletest {
namespace {

class ListPlacesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CloseAllDevice();
    Bus().Reset();
    root_ = Bus().AddController(0, 8);
  }
  void TearDown() override {
    CloseAllDevice();
    Bus().Reset();
  }
  static usbsim::Bus& Bus() { return usbsim::Bus::Instance(); }

  static std::vector<mlink_meter_place> List() {
    std::vector<mlink_meter_place> places(16);
    size_t found = 0;
    EXPECT_EQ(mlink_list_places(places.data(), places.size(), &found), MLINK_OK);
    places.resize(found);
    return places;
  }

  usbsim::NodeId root_ = 0;
};

TEST_F(ListPlacesTest, ListsEveryPlaceWithoutAByteAndMarksTheOnesHeldHere) {
  auto a = usbsim::AttachMeter(root_, 2, MeterWithSerial("A1111"));
  auto b = usbsim::AttachMeter(root_, 6, MeterWithSerial("B2222"));
  mlink_meter* held = nullptr;
  ASSERT_EQ(mlink_open("B2222", &held), MLINK_OK);
  const int exchangesA = a.meter->ExchangeCount();
  const int exchangesB = b.meter->ExchangeCount();

  for (int round = 0; round < 20; ++round) {
    const std::vector<mlink_meter_place> places = List();
    ASSERT_EQ(places.size(), 2u);
    EXPECT_STREQ(places[0].port, "1-2");
    EXPECT_STREQ(places[1].port, "1-6");
    EXPECT_NE(places[0].generation, places[1].generation);
    // Not asked: nothing known of it.
    EXPECT_EQ(places[0].flags, 0u);
    EXPECT_STREQ(places[0].info.serial, "");
    // Held here: its identification as read when it was opened.
    EXPECT_NE(places[1].flags & MLINK_INFO_IN_USE, 0u);
    EXPECT_STREQ(places[1].info.serial, "B2222");
  }
  EXPECT_EQ(a.meter->ExchangeCount(), exchangesA);
  EXPECT_EQ(b.meter->ExchangeCount(), exchangesB);
  EXPECT_EQ(mlink_close(held), MLINK_OK);
  // Only the held meter's pipes were ever open; the listing opened none.
  EXPECT_EQ(Bus().OpenHandleCount(), 0);
}

TEST_F(ListPlacesTest, APlaceGoneOrPluggedAgainShowsInTheNextListing) {
  auto a = usbsim::AttachMeter(root_, 3, MeterWithSerial("A1111"));
  const std::vector<mlink_meter_place> before = List();
  ASSERT_EQ(before.size(), 1u);
  Bus().Unplug(a.device);
  EXPECT_TRUE(List().empty());
  a.meter->PlugBackIn();
  auto again = usbsim::ReplugMeter(a);
  ASSERT_NE(again.device, 0);
  const std::vector<mlink_meter_place> after = List();
  ASSERT_EQ(after.size(), 1u);
  EXPECT_STREQ(after[0].port, before[0].port);
  EXPECT_NE(after[0].generation, before[0].generation);
}

TEST_F(ListPlacesTest, CountsBeyondTheCapacityAndRejectsBadArguments) {
  for (int port = 1; port <= 3; ++port) {
    usbsim::AttachMeter(root_, port, MeterWithSerial("M" + std::to_string(port)));
  }
  mlink_meter_place places[2];
  size_t found = 0;
  ASSERT_EQ(mlink_list_places(places, 2, &found), MLINK_OK);
  EXPECT_EQ(found, 3u);
  ASSERT_EQ(mlink_list_places(nullptr, 0, &found), MLINK_OK);
  EXPECT_EQ(found, 3u);
  EXPECT_EQ(mlink_list_places(nullptr, 1, &found), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_list_places(places, 2, nullptr), MLINK_BAD_ARGUMENT);
}

// The probe of a new meter (its "QPID") runs with no lock of the process
// held: a meter that hangs on its first answer keeps only its own open
// waiting, while the other places are listed, opened and used at once.
TEST_F(ListPlacesTest, AMeterHangingOnItsProbeDelaysNoOtherListingOrOpen) {
  usbsim::MeterConfig hanging = MeterWithSerial("H0000");
  hanging.faults.hang_from = 1;
  // Far longer than anything the other calls need: they must all be over
  // while this probe still waits.
  hanging.read_limit = std::chrono::seconds(15);
  auto h = usbsim::AttachMeter(root_, 1, hanging);
  auto a = usbsim::AttachMeter(root_, 2, MeterWithSerial("A1111"));
  const std::vector<mlink_meter_place> places = List();
  ASSERT_EQ(places.size(), 2u);
  const mlink_meter_place hung_place = places[0];
  const mlink_meter_place free_place = places[1];
  ASSERT_STREQ(hung_place.port, "1-1");

  std::atomic<bool> probe_over{false};
  int32_t probed = MLINK_OK;
  mlink_meter* never = nullptr;
  std::thread opener([&] {
    probed = mlink_open_path(hung_place.path, hung_place.generation, &never);
    probe_over = true;
  });
  // Its "QPID" is out: the probe now waits for an answer that never comes.
  const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (h.meter->ExchangeCount() < 1 && std::chrono::steady_clock::now() < bound) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_EQ(h.meter->ExchangeCount(), 1);

  const std::vector<mlink_meter_place> during = List();
  ASSERT_EQ(during.size(), 2u);
  // Being opened here: in use, nothing known of it yet.
  EXPECT_NE(during[0].flags & MLINK_INFO_IN_USE, 0u);
  EXPECT_STREQ(during[0].info.serial, "");
  mlink_meter* other = nullptr;
  mlink_meter* second = nullptr;
  EXPECT_EQ(mlink_open_path(hung_place.path, hung_place.generation, &second),
            MLINK_ERR_ALREADY_OPEN);
  EXPECT_EQ(second, nullptr);
  ASSERT_EQ(mlink_open_path(free_place.path, free_place.generation, &other), MLINK_OK);
  uint8_t slots[MLINK_SLOT_COUNT] = {};
  EXPECT_EQ(mlink_slots(other, slots, MLINK_SLOT_COUNT), MLINK_OK);
  // The walks that probe pass the hanging place over without a byte.
  mlink_meter_info infos[4];
  size_t found = 0;
  EXPECT_EQ(mlink_enumerate(infos, 4, &found), MLINK_OK);
  ASSERT_EQ(found, 1u);
  EXPECT_STREQ(infos[0].serial, "A1111");
  EXPECT_FALSE(probe_over.load()) << "the other calls waited for the hanging probe";

  opener.join();
  EXPECT_NE(probed, MLINK_OK);
  EXPECT_EQ(never, nullptr);
  EXPECT_EQ(h.meter->ExchangeCount(), 1);  // its "QPID" only
  // Its probe over, the place is free and unknown again.
  EXPECT_EQ(List()[0].flags, 0u);
  EXPECT_EQ(mlink_close(other), MLINK_OK);
  EXPECT_EQ(Bus().OpenHandleCount(), 0);
}

}  // namespace
}  // namespace handletest
