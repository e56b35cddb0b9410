// Meters known by where they are plugged: the listing with ports and plug
// generations, opening exactly the meter listed (by path or port) without a
// byte to any other, two meters with one serial number, meters left in the
// middle of a table, and the last error's detail.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "handle_fixture.h"
#include "memory_resources.h"

namespace handletest {
namespace {

using usbsim::MeterConfig;

class PlacesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CloseAllDevice();
    Bus().Reset();
    root_ = Bus().AddController(0, 8);
  }
  void TearDown() override {
    for (mlink_meter* meter : opened_) mlink_close(meter);
    CloseAllDevice();
    Bus().Reset();
  }
  static usbsim::Bus& Bus() { return usbsim::Bus::Instance(); }

  usbsim::AttachedMeter AttachAt(int port, const std::string& serial) {
    return usbsim::AttachMeter(root_, port, MeterWithSerial(serial));
  }

  static std::vector<mlink_meter_place> Places() {
    std::vector<mlink_meter_place> places(16);
    size_t found = 0;
    EXPECT_EQ(mlink_enumerate_places(places.data(), places.size(), &found), MLINK_OK);
    places.resize(found);
    return places;
  }

  mlink_meter* Keep(mlink_meter* meter) {
    if (meter != nullptr) opened_.push_back(meter);
    return meter;
  }
  void Forget(mlink_meter* meter) { std::erase(opened_, meter); }

  usbsim::NodeId root_ = 0;
  std::vector<mlink_meter*> opened_;
};

std::string Detail() {
  char text[512];
  EXPECT_EQ(mlink_last_error_detail(text, sizeof text), MLINK_OK);
  return text;
}

TEST_F(PlacesTest, ListingGivesEachMeterItsPortAndMarksSharedSerials) {
  AttachAt(3, "A12345678");
  AttachAt(1, "SAME00001");
  AttachAt(5, "SAME00001");
  const std::vector<mlink_meter_place> places = Places();
  ASSERT_EQ(places.size(), 3u);
  // In position order (plug order), each with its own port and generation.
  const char* ports[] = {"1-3", "1-1", "1-5"};
  const char* serials[] = {"A12345678", "SAME00001", "SAME00001"};
  const bool shared[] = {false, true, true};
  for (size_t i = 0; i < places.size(); ++i) {
    EXPECT_STREQ(places[i].port, ports[i]);
    EXPECT_STREQ(places[i].info.serial, serials[i]);
    EXPECT_EQ((places[i].flags & MLINK_INFO_SERIAL_SHARED) != 0, shared[i]) << i;
    EXPECT_EQ(places[i].info.position, static_cast<int32_t>(i));
    EXPECT_NE(places[i].path[0], '\0');
    for (size_t j = 0; j < i; ++j) {
      EXPECT_STRNE(places[i].path, places[j].path);
      EXPECT_NE(places[i].generation, places[j].generation);
    }
  }
  // The older listing gives the same meters and identities.
  mlink_meter_info infos[4];
  size_t found = 0;
  ASSERT_EQ(mlink_enumerate(infos, 4, &found), MLINK_OK);
  ASSERT_EQ(found, 3u);
  for (size_t i = 0; i < found; ++i) EXPECT_STREQ(infos[i].serial, places[i].info.serial);
  EXPECT_EQ(Bus().OpenHandleCount(), 0);
}

TEST_F(PlacesTest, ListingCountsBeyondTheCapacityAndWritesNoFurther) {
  AttachAt(1, "A1");
  AttachAt(2, "B2");
  AttachAt(3, "C3");
  std::vector<mlink_meter_place> places(3);
  std::memset(places.data(), 0x5A, sizeof(mlink_meter_place) * places.size());
  size_t found = 0;
  ASSERT_EQ(mlink_enumerate_places(places.data(), 2, &found), MLINK_OK);
  EXPECT_EQ(found, 3u);
  EXPECT_STREQ(places[1].info.serial, "B2");
  const auto* untouched = reinterpret_cast<const unsigned char*>(&places[2]);
  for (size_t i = 0; i < sizeof(mlink_meter_place); ++i) ASSERT_EQ(untouched[i], 0x5A) << i;
  ASSERT_EQ(mlink_enumerate_places(nullptr, 0, &found), MLINK_OK);
  EXPECT_EQ(found, 3u);
  EXPECT_EQ(mlink_enumerate_places(nullptr, 1, &found), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_enumerate_places(places.data(), 1, nullptr), MLINK_BAD_ARGUMENT);
}

// Both meters with one serial are opened, each by where it is, and each
// command reaches the meter meant and no other.
TEST_F(PlacesTest, TwoMetersWithOneSerialAreOpenedByPortAndByPath) {
  auto first = AttachAt(2, "SAME00001").meter;
  auto second = AttachAt(4, "SAME00001").meter;
  const std::vector<mlink_meter_place> places = Places();
  ASSERT_EQ(places.size(), 2u);

  struct Case {
    const char* how;
    bool byPort;
  };
  for (const Case& c : {Case{"by port", true}, Case{"by path", false}}) {
    mlink_meter* a = nullptr;
    mlink_meter* b = nullptr;
    if (c.byPort) {
      ASSERT_EQ(mlink_open_port(places[1].port, &b), MLINK_OK) << c.how;
      ASSERT_EQ(mlink_open_port(places[0].port, &a), MLINK_OK) << c.how;
    } else {
      ASSERT_EQ(mlink_open_path(places[1].path, places[1].generation, &b), MLINK_OK) << c.how;
      ASSERT_EQ(mlink_open_path(places[0].path, places[0].generation, &a), MLINK_OK) << c.how;
    }
    Keep(a);
    Keep(b);
    mlink_meter_place place{};
    ASSERT_EQ(mlink_get_place(b, &place), MLINK_OK);
    EXPECT_STREQ(place.port, "1-4");
    EXPECT_STREQ(place.path, places[1].path);
    EXPECT_EQ(place.generation, places[1].generation);
    EXPECT_STREQ(place.info.serial, "SAME00001");

    first->ClearTranscript();
    second->ClearTranscript();
    char reply[MLINK_REPLY_SIZE];
    ASSERT_EQ(mlink_command(b, "GET_SENSER", reply, sizeof reply, MLINK_COMMAND_NO_BATTERY_CHECK),
              MLINK_OK);
    EXPECT_TRUE(HostWrites(*first).empty()) << c.how;
    EXPECT_EQ(HostWrites(*second).size(), 1u) << c.how;

    for (mlink_meter* m : {a, b}) {
      EXPECT_EQ(mlink_close(m), MLINK_OK);
      Forget(m);
    }
  }
}

TEST_F(PlacesTest, OpeningOneMeterSendsNothingToTheOthers) {
  std::vector<std::shared_ptr<usbsim::VirtualMeter>> meters;
  for (int port = 1; port <= 4; ++port) {
    meters.push_back(AttachAt(port, "M0000000" + std::to_string(port)).meter);
  }
  const std::vector<mlink_meter_place> places = Places();
  ASSERT_EQ(places.size(), 4u);
  for (size_t target = 0; target < places.size(); ++target) {
    for (const auto& m : meters) m->ClearTranscript();
    mlink_meter* meter = nullptr;
    ASSERT_EQ(mlink_open_port(places[target].port, &meter), MLINK_OK);
    for (size_t other = 0; other < meters.size(); ++other) {
      if (other == target) {
        EXPECT_FALSE(HostWrites(*meters[other]).empty());  // "QPID" and "IDN"
      } else {
        EXPECT_TRUE(HostWrites(*meters[other]).empty()) << target << " " << other;
      }
    }
    EXPECT_EQ(mlink_close(meter), MLINK_OK);
  }
}

TEST_F(PlacesTest, OpenRefusals) {
  const usbsim::AttachedMeter attached = AttachAt(1, "A12345678");
  const std::vector<mlink_meter_place> places = Places();
  ASSERT_EQ(places.size(), 1u);
  const mlink_meter_place& p = places[0];
  mlink_meter* held = nullptr;
  const std::string longPath(MLINK_PATH_SIZE, 'p');
  const std::string longPort(MLINK_PORT_SIZE, '1');

  struct Case {
    const char* what;
    int32_t (*open)(const mlink_meter_place&, const std::string&, mlink_meter**);
    std::string argument;
    int32_t result;
  };
  const auto byPath = [](const mlink_meter_place& place, const std::string& path, mlink_meter** m) {
    return mlink_open_path(path.empty() ? nullptr : path.c_str(), place.generation, m);
  };
  const auto byPathAnyGeneration = [](const mlink_meter_place&, const std::string& path,
                                      mlink_meter** m) {
    return mlink_open_path(path.c_str(), 0, m);
  };
  const auto byPathOtherGeneration = [](const mlink_meter_place& place, const std::string& path,
                                        mlink_meter** m) {
    return mlink_open_path(path.c_str(), place.generation + 1, m);
  };
  const auto byPort = [](const mlink_meter_place&, const std::string& port, mlink_meter** m) {
    return mlink_open_port(port.empty() ? nullptr : port.c_str(), m);
  };
  const std::vector<Case> cases = {
      {"null path", byPath, "", MLINK_BAD_ARGUMENT},
      {"empty path", byPathAnyGeneration, "", MLINK_BAD_ARGUMENT},
      {"unknown path", byPath, std::string(p.path) + "x", MLINK_ERR_NO_SUCH_METER},
      {"path too long", byPathAnyGeneration, longPath, MLINK_ERR_NO_SUCH_METER},
      {"other generation", byPathOtherGeneration, p.path, MLINK_ERR_REPLUGGED},
      {"null port", byPort, "", MLINK_BAD_ARGUMENT},
      {"unknown port", byPort, "1-2", MLINK_ERR_NO_SUCH_METER},
      {"port prefix", byPort, "1-", MLINK_ERR_NO_SUCH_METER},
      {"port too long", byPort, longPort, MLINK_ERR_NO_SUCH_METER},
  };
  for (const Case& c : cases) {
    attached.meter->ClearTranscript();
    mlink_meter* meter = reinterpret_cast<mlink_meter*>(0x1234);
    EXPECT_EQ(c.open(p, c.argument, &meter), c.result) << c.what;
    EXPECT_EQ(meter, nullptr) << c.what;
    EXPECT_TRUE(HostWrites(*attached.meter).empty()) << c.what;
  }
  EXPECT_EQ(mlink_open_path(p.path, p.generation, nullptr), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_open_port(p.port, nullptr), MLINK_BAD_ARGUMENT);

  // Open already, through either call or interface.
  ASSERT_EQ(mlink_open_port(p.port, &held), MLINK_OK);
  Keep(held);
  mlink_meter* again = nullptr;
  EXPECT_EQ(mlink_open_path(p.path, p.generation, &again), MLINK_ERR_ALREADY_OPEN);
  EXPECT_EQ(mlink_open_port(p.port, &again), MLINK_ERR_ALREADY_OPEN);
  EXPECT_EQ(mlink_get_place(held, nullptr), MLINK_BAD_ARGUMENT);
  mlink_meter_place place{};
  EXPECT_EQ(mlink_get_place(nullptr, &place), MLINK_ERR_INVALID_HANDLE);

  // A device there that is not an LX40.
  MeterConfig notLx40 = MeterWithSerial("Z9");
  notLx40.model = "LX30";
  const usbsim::AttachedMeter stranger = usbsim::AttachMeter(root_, 2, notLx40);
  EXPECT_EQ(mlink_open_port("1-2", &again), MLINK_NOT_A_METER);
  EXPECT_EQ(again, nullptr);
  EXPECT_EQ(Places().size(), 1u);
  (void)stranger;
}

TEST_F(PlacesTest, ReplugGivesANewGenerationAtTheSamePathAndPort) {
  const usbsim::AttachedMeter before = AttachAt(3, "A12345678");
  const std::vector<mlink_meter_place> listed = Places();
  ASSERT_EQ(listed.size(), 1u);
  Bus().Unplug(before.device);
  const usbsim::AttachedMeter after = AttachAt(3, "A12345678");
  const std::vector<mlink_meter_place> now = Places();
  ASSERT_EQ(now.size(), 1u);
  EXPECT_STREQ(now[0].path, listed[0].path);
  EXPECT_STREQ(now[0].port, listed[0].port);
  EXPECT_NE(now[0].generation, listed[0].generation);

  after.meter->ClearTranscript();
  mlink_meter* meter = nullptr;
  EXPECT_EQ(mlink_open_path(listed[0].path, listed[0].generation, &meter), MLINK_ERR_REPLUGGED);
  EXPECT_NE(Detail().find("1-3"), std::string::npos) << Detail();
  EXPECT_TRUE(HostWrites(*after.meter).empty());
  ASSERT_EQ(mlink_open_path(now[0].path, now[0].generation, &meter), MLINK_OK);
  Keep(meter);
}

// However a meter was left in the middle of a table, it gets no byte from
// any later listing or open in this process until it is plugged in again.
TEST_F(PlacesTest, AMeterLeftMidTableIsLeftAloneUntilReplugged) {
  struct Case {
    const char* how;
    void (*leave)(mlink_meter*);
    bool wrongEcho;  // the meter echoes a header byte wrong
  };
  const auto abortAfterRecords = [](mlink_meter* meter) {
    for (int i = 0; i < 3; ++i) ASSERT_EQ(mlink_load_step(meter), MLINK_OK);
    ASSERT_EQ(mlink_load_abort(meter), MLINK_OK);
  };
  const auto closeDuringLoad = [](mlink_meter* meter) {
    for (int i = 0; i < 2; ++i) ASSERT_EQ(mlink_load_step(meter), MLINK_OK);
  };
  const auto failedStep = [](mlink_meter* meter) {
    // The header's echo comes back wrong: the meter is still mid-table.
    int32_t rc = MLINK_OK;
    for (int i = 0; i < 10 && rc == MLINK_OK; ++i) rc = mlink_load_step(meter);
    ASSERT_EQ(rc, MLINK_ERR_HANDSHAKE);
  };
  const std::vector<Case> cases = {
      {"aborted after some records", abortAfterRecords, false},
      {"closed during the load", closeDuringLoad, false},
      {"a step failed", failedStep, true},
  };
  for (const Case& c : cases) {
    CloseAllDevice();
    Bus().Reset();
    root_ = Bus().AddController(0, 8);
    MeterConfig config = MeterWithSerial("A12345678");
    if (c.wrongEcho) config.faults.wrong_echo_at = 3;
    usbsim::AttachedMeter left = usbsim::AttachMeter(root_, 2, config);
    auto bystander = AttachAt(5, "B23456789").meter;
    std::vector<mlink_meter_place> places = Places();
    ASSERT_EQ(places.size(), 2u) << c.how;
    const mlink_meter_place was = places[0];

    mlink_meter* meter = nullptr;
    ASSERT_EQ(mlink_open_port(was.port, &meter), MLINK_OK) << c.how;
    const Bytes table = MakeSensorTable(3, 8010, 10);
    ASSERT_EQ(mlink_load_begin(meter, table.data(), table.size()), MLINK_OK);
    c.leave(meter);
    ASSERT_EQ(mlink_close(meter), MLINK_OK);

    left.meter->ClearTranscript();
    places = Places();
    ASSERT_EQ(places.size(), 2u) << c.how;
    EXPECT_NE(places[0].flags & MLINK_INFO_NEEDS_REPLUG, 0u) << c.how;
    EXPECT_STREQ(places[0].info.serial, "A12345678") << c.how;
    EXPECT_EQ(places[1].flags & MLINK_INFO_NEEDS_REPLUG, 0u) << c.how;
    mlink_meter_info infos[2];
    size_t found = 0;
    ASSERT_EQ(mlink_enumerate(infos, 2, &found), MLINK_OK);
    EXPECT_EQ(found, 1u) << c.how;
    EXPECT_EQ(mlink_open("A12345678", &meter), MLINK_ERR_NO_SUCH_METER) << c.how;
    EXPECT_EQ(mlink_open_port(was.port, &meter), MLINK_ERR_NEEDS_REPLUG) << c.how;
    EXPECT_NE(Detail().find(was.port), std::string::npos) << Detail();
    EXPECT_EQ(mlink_open_path(was.path, 0, &meter), MLINK_ERR_NEEDS_REPLUG) << c.how;
    ASSERT_EQ(OpenAllDevice(), MLINK_OK);
    int32_t count = 0;
    ASSERT_EQ(GetAllDeviceNum(&count), MLINK_OK);
    EXPECT_EQ(count, 1) << c.how;
    ASSERT_EQ(CloseAllDevice(), MLINK_OK);
    EXPECT_TRUE(HostWrites(*left.meter).empty()) << c.how;

    // Plugged in again (same path, same port): usable.
    Bus().Unplug(left.device);
    usbsim::AttachMeter(root_, 2, MeterWithSerial("A12345678"));
    places = Places();
    ASSERT_EQ(places.size(), 2u) << c.how;
    EXPECT_STREQ(places[1].path, was.path) << c.how;
    EXPECT_EQ(places[1].flags & MLINK_INFO_NEEDS_REPLUG, 0u) << c.how;
    ASSERT_EQ(mlink_open_port(was.port, &meter), MLINK_OK) << c.how;
    EXPECT_EQ(mlink_close(meter), MLINK_OK);
    (void)bystander;
  }
}

TEST_F(PlacesTest, LastErrorDetailIsBoundedAndPerThread) {
  AttachAt(1, "A12345678");
  const std::vector<mlink_meter_place> places = Places();
  ASSERT_EQ(places.size(), 1u);
  mlink_meter* meter = nullptr;
  ASSERT_EQ(mlink_open_path(places[0].path, places[0].generation + 1, &meter), MLINK_ERR_REPLUGGED);
  const std::string detail = Detail();
  ASSERT_FALSE(detail.empty());
  char small[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(mlink_last_error_detail(small, sizeof small), MLINK_ERR_BUFFER_TOO_SMALL);
  EXPECT_EQ(small[0], '\0');
  EXPECT_EQ(small[3], 'x');
  EXPECT_EQ(mlink_last_error_detail(nullptr, 10), MLINK_BAD_ARGUMENT);
  EXPECT_EQ(mlink_last_error_detail(small, 0), MLINK_BAD_ARGUMENT);
  std::string other = "unset";
  std::thread([&] {
    char text[64] = "x";
    EXPECT_EQ(mlink_last_error_detail(text, sizeof text), MLINK_OK);
    other = text;
  }).join();
  EXPECT_EQ(other, "");
  EXPECT_EQ(Detail(), detail);  // asking does not clear it
}

}  // namespace
}  // namespace handletest

namespace handletest {
namespace {

// A meter whose device file this user may not open: seen on the bus, then
// reported by the file's name, never as "no such meter"; the others are
// listed and opened as usual, and nothing is left open or locked.
TEST_F(PlacesTest, AMeterThatMayNotBeOpenedIsReportedByItsFile) {
  AttachAt(1, "A00000001");
  usbsim::SimulatedDevice denied;
  denied.serial = u"B00000002";
  denied.faults.open_denied = true;
  denied.pipes = std::make_shared<usbsim::VirtualMeter>(MeterWithSerial("B00000002"));
  const usbsim::DeviceId device = Bus().Plug(root_, 2, denied);
  ASSERT_NE(device, 0u);
  const std::string path = Bus().InterfacePath(device);
  const std::string message = "no permission for " + path + ": install the udev rules";

  std::vector<mlink_meter_place> places(8);
  size_t found = 0;
  EXPECT_EQ(mlink_enumerate_places(places.data(), places.size(), &found), MLINK_ERR_NO_PERMISSION);
  EXPECT_EQ(Detail(), message);
  ASSERT_EQ(found, 1u);
  EXPECT_STREQ(places[0].info.serial, "A00000001");
  mlink_meter_info infos[4];
  EXPECT_EQ(mlink_enumerate(infos, 4, &found), MLINK_ERR_NO_PERMISSION);
  EXPECT_EQ(found, 1u);

  mlink_meter* meter = nullptr;
  EXPECT_EQ(mlink_open("B00000002", &meter), MLINK_ERR_NO_PERMISSION);
  EXPECT_EQ(meter, nullptr);
  EXPECT_EQ(mlink_open_path(path.c_str(), 0, &meter), MLINK_ERR_NO_PERMISSION);
  EXPECT_EQ(Detail(), message);
  EXPECT_EQ(mlink_open_port("1-2", &meter), MLINK_ERR_NO_PERMISSION);
  EXPECT_NE(std::string(mlink_strerror(MLINK_ERR_NO_PERMISSION)).find("udev rules"),
            std::string::npos);

  // The meter that may be opened still is; then nothing is left open.
  ASSERT_EQ(mlink_open("A00000001", &meter), MLINK_OK);
  mlink_close(meter);
  EXPECT_EQ(Bus().OpenHandleCount(), 0);
}

}  // namespace
}  // namespace handletest
