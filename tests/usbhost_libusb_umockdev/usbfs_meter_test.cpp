// Meterlink and Bulkpipe on the libusb backend, through the real libusb, on
// mocked device files whose meters are the simulator's virtual meters. Each
// test runs in a process of its own (the backend's libusb context lives as
// long as the process): ctest runs this program once per test.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "memory_resources.h"
#include "meter/virtual_meter.h"
#include "mlink.h"
#include "usbfs_testbed.h"

namespace usbfs_test {
namespace {

std::shared_ptr<usbsim::VirtualMeter> MeterWithSerial(const std::string& serial) {
  usbsim::MeterConfig config;
  config.serial = serial;
  return std::make_shared<usbsim::VirtualMeter>(config);
}

std::vector<mlink_meter_place> Places(int32_t expected = MLINK_OK) {
  std::vector<mlink_meter_place> places(8);
  size_t found = 0;
  EXPECT_EQ(mlink_enumerate_places(places.data(), places.size(), &found), expected);
  places.resize(std::min(found, places.size()));
  return places;
}

int32_t LoadWhole(mlink_meter* meter, const std::vector<uint8_t>& table) {
  int32_t rc = mlink_load_begin(meter, table.data(), table.size());
  for (int calls = 0; rc == MLINK_OK && calls < 100000; ++calls) rc = mlink_load_step(meter);
  return rc;
}

// The seam Meterlink calls is the libusb backend's, not the simulator's
// (both are in this program: the simulator for its meters only).
TEST(UsbfsMeters, TheSeamIsTheLibusbBackend) {
  Dl_info info{};
  ASSERT_NE(dladdr(dlsym(RTLD_DEFAULT, "usbhost_open"), &info), 0);
  EXPECT_NE(std::string(info.dli_fname).find("usbhost_libusb"), std::string::npos)
      << info.dli_fname;
}

TEST(UsbfsMeters, MetersBehindAnExternalHubAreListedWithTheirPorts) {
  UsbfsTestbed bed;
  bed.AddRootHub(1, 4);
  bed.AddMeter(1, {1}, 2, MeterWithSerial("A00000001"));
  bed.AddHub(1, {3}, 3, 4);
  bed.AddMeter(1, {3, 2}, 4, MeterWithSerial("B00000002"));
  const auto places = Places();
  ASSERT_EQ(places.size(), 2u);
  EXPECT_STREQ(places[0].info.serial, "A00000001");
  EXPECT_STREQ(places[0].port, "1-1");
  EXPECT_STREQ(places[0].path, "/dev/bus/usb/001/002");
  EXPECT_STREQ(places[1].info.serial, "B00000002");
  EXPECT_STREQ(places[1].port, "1-3.2");
  EXPECT_EQ(places[1].generation, 4u);
  EXPECT_STREQ(places[1].info.model, "LX40");
  // Bulkpipe's walk of the hub driver's records finds both as well.
  mlink_meter* meter = nullptr;
  ASSERT_EQ(mlink_open_port("1-3.2", &meter), MLINK_OK);
  int32_t ok = 0;
  EXPECT_EQ(mlink_battery(meter, &ok), MLINK_OK);
  EXPECT_EQ(ok, 1);
  mlink_close(meter);
}

TEST(UsbfsMeters, TwoMetersAreSetUpByteExact) {
  UsbfsTestbed bed;
  bed.AddRootHub(2, 2);
  const auto first = MeterWithSerial("A00000001");
  const auto second = MeterWithSerial("A00000002");
  bed.AddMeter(2, {1}, 5, first);
  bed.AddMeter(2, {2}, 6, second);
  const std::vector<uint8_t> table_a = MakeSensorTable(2, 8010, 40);
  const std::vector<uint8_t> table_b = MakeSensorTable(3, 8011, 25);
  for (const auto& [serial, table] : {std::pair{"A00000001", &table_a}, {"A00000002", &table_b}}) {
    mlink_meter* meter = nullptr;
    ASSERT_EQ(mlink_open(serial, &meter), MLINK_OK) << serial;
    EXPECT_EQ(LoadWhole(meter, *table), MLINK_DONE) << serial;
    mlink_close(meter);
  }
  EXPECT_EQ(first->SlotContent(2), table_a);
  EXPECT_EQ(second->SlotContent(3), table_b);
  EXPECT_FALSE(first->SlotContent(3).has_value());
  EXPECT_FALSE(bed.Claimed(2, 5));
  EXPECT_FALSE(bed.Claimed(2, 6));
}

TEST(UsbfsMeters, AKernelDriverIsDetachedForTheClaimAndAttachedAgain) {
  UsbfsTestbed bed;
  bed.AddRootHub(1, 1);
  MeterOptions bound;
  bound.kernel_driver_bound = true;
  bed.AddMeter(1, {1}, 2, MeterWithSerial("A00000001"), bound);
  mlink_meter* meter = nullptr;
  ASSERT_EQ(mlink_open("A00000001", &meter), MLINK_OK);
  EXPECT_TRUE(bed.Claimed(1, 2));
  int32_t ok = 0;
  EXPECT_EQ(mlink_battery(meter, &ok), MLINK_OK);
  mlink_close(meter);
  EXPECT_FALSE(bed.Claimed(1, 2));
  EXPECT_GE(bed.Detaches(1, 2), 1);
  EXPECT_EQ(bed.Reattaches(1, 2), bed.Detaches(1, 2));
}

TEST(UsbfsMeters, AMeterPulledOutMidTableFailsAtOnceWithNoSlotWritten) {
  UsbfsTestbed bed;
  bed.AddRootHub(1, 1);
  const auto virtual_meter = MeterWithSerial("A00000001");
  bed.AddMeter(1, {1}, 2, virtual_meter);
  mlink_meter* meter = nullptr;
  ASSERT_EQ(mlink_open("A00000001", &meter), MLINK_OK);
  const std::vector<uint8_t> table = MakeSensorTable(1, 8010, 40);
  ASSERT_EQ(mlink_load_begin(meter, table.data(), table.size()), MLINK_OK);
  for (int step = 0; step < 5; ++step) ASSERT_EQ(mlink_load_step(meter), MLINK_OK);
  bed.RemoveMeter(1, 2);
  const int32_t rc = mlink_load_step(meter);
  EXPECT_NE(rc, MLINK_OK);
  EXPECT_NE(rc, MLINK_DONE);
  mlink_close(meter);
  EXPECT_FALSE(virtual_meter->SlotContent(1).has_value());
}

TEST(UsbfsMeters, ABulkInThatNeverCompletesEndsTheLoadWithinTheBound) {
  UsbfsTestbed bed;
  bed.AddRootHub(1, 1);
  const auto virtual_meter = MeterWithSerial("A00000001");
  bed.AddMeter(1, {1}, 2, virtual_meter);
  mlink_meter* meter = nullptr;
  ASSERT_EQ(mlink_open("A00000001", &meter), MLINK_OK);
  const std::vector<uint8_t> table = MakeSensorTable(1, 8010, 40);
  ASSERT_EQ(mlink_load_begin(meter, table.data(), table.size()), MLINK_OK);
  for (int step = 0; step < 3; ++step) ASSERT_EQ(mlink_load_step(meter), MLINK_OK);
  bed.StopInCompletions(1, 2);
  int32_t rc = MLINK_OK;
  for (int step = 0; step < 100 && rc == MLINK_OK; ++step) rc = mlink_load_step(meter);
  EXPECT_EQ(rc, MLINK_ERR_NO_ANSWER);
  mlink_close(meter);
  EXPECT_FALSE(virtual_meter->SlotContent(1).has_value());
}

}  // namespace
}  // namespace usbfs_test
