// The simulated line: meters queued on a port, plugged in after the one
// before was pulled out, pulled out once the host stopped talking to them,
// all seen through the usbhost calls as real plugs and pulls.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "bus_fixture.h"
#include "meter/meter_config_file.h"
#include "meter/sim_line.h"
#include "meter/sim_state_file.h"

namespace {

using namespace usbsim_test;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Every wait has this upper bound; the machine may be slow, the line is not
// expected to be.
constexpr milliseconds kPatience{20000};

class LineTest : public BusTest {
 protected:
  void TearDown() override {
    usbsim::StopLine();
    BusTest::TearDown();
  }

  std::vector<usbsim::AttachedMeter> Build(const std::string& text) {
    std::vector<usbsim::MeterPlacement> placements;
    const std::string error = usbsim::ParseMeterConfigText(text, &placements);
    EXPECT_EQ(error, "");
    return usbsim::BuildConfiguredTopology(placements);
  }

  // Waits, on the line's changes, until `done` holds; false after kPatience.
  static bool WaitFor(const std::function<bool()>& done) {
    const Clock::time_point limit = Clock::now() + kPatience;
    uint64_t seen = usbsim::LineChangeCount();
    while (!done()) {
      if (Clock::now() >= limit) return false;
      seen = usbsim::WaitForLineChange(seen, milliseconds(100));
    }
    return true;
  }

  // The serials of the meters whose interfaces the host finds now.
  static std::set<std::string> SerialsPresent() {
    std::set<std::string> serials;
    for (int32_t position = 0; position < 64; ++position) {
      const std::string path = InterfacePathAt(position);
      if (path.empty()) break;
      serials.insert(path);
    }
    return serials;
  }

  // "QPID" through the pipes of the meter's present interface; "" when the
  // meter is not there or a call fails.
  static std::string Ask(const usbsim::VirtualMeter& meter, const std::string& command) {
    const usbsim::DeviceId device = usbsim::LineDeviceOf(&meter);
    const std::string path = usbsim::Bus::Instance().InterfacePath(device);
    if (path.empty()) return "";
    const usbhost_handle out = usbhost_open((path + "\\0").c_str(), kReadWrite, kShareReadWrite);
    const usbhost_handle in = usbhost_open((path + "\\1").c_str(), kReadWrite, kShareReadWrite);
    std::string reply;
    uint32_t done = 0;
    const std::string frame = command + "\n";
    bool ok = out != USBHOST_INVALID && in != USBHOST_INVALID &&
              usbhost_write(out, frame.data(), static_cast<uint32_t>(frame.size()), &done) == 1;
    for (int i = 0; ok && i < 16; ++i) {
      char block[64];
      ok = usbhost_read(in, block, sizeof block, &done) == 1;
      if (!ok || done == 0) break;
      reply.append(block, done);
    }
    if (out != USBHOST_INVALID) usbhost_close(out);
    if (in != USBHOST_INVALID) usbhost_close(in);
    return ok ? reply : "";
  }

  // The address the hub driver reports for the device on `port` of `hub`
  // (0: nothing there).
  static uint16_t AddressOn(usbsim::NodeId hub, int port) {
    const usbhost_handle h = OpenHub(hub);
    if (h == USBHOST_INVALID) return 0;
    const IoctlResult r = Ioctl(h, kConnectionInformation, ConnectionRequest(port, 365), 365);
    usbhost_close(h);
    return r.ok && U32(r.out, 31) == 1 ? U16(r.out, 25) : 0;
  }

  static bool OnBus(const usbsim::AttachedMeter& m) {
    return usbsim::LineDeviceOf(m.meter.get()) != 0;
  }
};

TEST_F(LineTest, QueueOfAPortIsPluggedInTurnAsEachIsPulledOut) {
  const auto meters = Build(
      "[meter]\nserial = Q1\nport = 2\npull_after_ms = 1000\n"
      "[meter]\nserial = Q2\nport = 2\npull_after_ms = 1000\nplug_after_ms = 150\n"
      "[meter]\nserial = Q3\nport = 2\npull_after_ms = 1000\nplug_after_ms = 150\n"
      "[meter]\nserial = STAY\n");
  ASSERT_EQ(meters.size(), 4u);
  EXPECT_NE(meters[0].device, 0u);  // the first of the queue at once
  EXPECT_EQ(meters[1].device, 0u);
  EXPECT_EQ(meters[2].device, 0u);
  EXPECT_EQ(meters[3].port, 1);  // the lowest port no meter names

  std::set<uint16_t> addresses;
  std::set<usbsim::DeviceId> devices;
  for (size_t i = 0; i < 3; ++i) {
    const usbsim::AttachedMeter& m = meters[i];
    ASSERT_TRUE(WaitFor([&] { return OnBus(m); })) << "meter " << i << " never plugged in";
    EXPECT_EQ(m.port, 2);
    EXPECT_LE(SerialsPresent().size(), 2u);  // it and STAY, nobody else
    for (size_t j = i + 1; j < 3; ++j) EXPECT_FALSE(OnBus(meters[j]));
    addresses.insert(AddressOn(m.hub, 2));
    devices.insert(usbsim::LineDeviceOf(m.meter.get()));
    EXPECT_EQ(Ask(*m.meter, "QPID"), "LX40\r");
    const Clock::time_point last_talk = Clock::now();
    ASSERT_TRUE(WaitFor([&] { return !OnBus(m); }));
    // Read after the pull was seen, so never earlier than it happened.
    EXPECT_GE(Clock::now() - last_talk, milliseconds(1000));
  }
  EXPECT_EQ(addresses.size(), 3u) << "each plug-in is a new address";
  EXPECT_FALSE(addresses.count(0));
  EXPECT_EQ(devices.size(), 3u);
  EXPECT_TRUE(usbsim::Bus::Instance().IsPlugged(meters[3].device)) << "a meter off the line stays";
}

TEST_F(LineTest, NextMeterWaitsItsPlugTimeAfterThePull) {
  const auto meters = Build(
      "[meter]\nserial = P1\nport = 1\npull_after_ms = 300\n"
      "[meter]\nserial = P2\nport = 1\nplug_after_ms = 400\n");
  ASSERT_TRUE(OnBus(meters[0]));
  EXPECT_EQ(Ask(*meters[0].meter, "IDN"), "Vantor,LX40,P1,100\r");
  const Clock::time_point last_talk = Clock::now();
  ASSERT_TRUE(WaitFor([&] { return OnBus(meters[1]); }));
  EXPECT_GE(Clock::now() - last_talk, milliseconds(700));
  EXPECT_EQ(Ask(*meters[1].meter, "IDN"), "Vantor,LX40,P2,100\r");
}

TEST_F(LineTest, MeterIsNotPulledWhileTheHostKeepsTalking) {
  const auto meters = Build("[meter]\nserial = T1\nport = 1\npull_after_ms = 1000\n");
  const Clock::time_point start = Clock::now();
  while (Clock::now() - start < milliseconds(1500)) {
    ASSERT_EQ(Ask(*meters[0].meter, "TEST"), "TEST:0000000\r") << "pulled while talked to";
  }
  const Clock::time_point last_talk = Clock::now();
  ASSERT_TRUE(WaitFor([&] { return !OnBus(meters[0]); }));
  EXPECT_GE(Clock::now() - last_talk, milliseconds(1000));
}

TEST_F(LineTest, MeterNeverTalkedToIsPulledAfterItsPlugIn) {
  const Clock::time_point start = Clock::now();
  const auto meters = Build(
      "[meter]\nserial = N1\nport = 3\nbehind_hub = yes\npull_after_ms = 80\n"
      "[meter]\nserial = N2\nport = 3\nbehind_hub = yes\nplug_after_ms = 0\n");
  ASSERT_TRUE(WaitFor([&] { return OnBus(meters[1]); }));
  EXPECT_GE(Clock::now() - start, milliseconds(80));
  EXPECT_FALSE(OnBus(meters[0]));
  EXPECT_EQ(meters[1].port, 3);
  EXPECT_EQ(meters[1].hub, meters[0].hub);
}

TEST_F(LineTest, UnplugFaultWithReplugComesBackOnceThenTheQueueMovesOn) {
  const auto meters = Build(
      "[meter]\nserial = R1\nport = 1\nunplug_at = 2\nreplug_after_ms = 50\n"
      "pull_after_ms = 1000\n"
      "[meter]\nserial = R2\nport = 1\nplug_after_ms = 0\n");
  const usbsim::DeviceId first = usbsim::LineDeviceOf(meters[0].meter.get());
  ASSERT_NE(first, 0u);
  const uint16_t first_address = AddressOn(meters[0].hub, 1);
  EXPECT_EQ(Ask(*meters[0].meter, "QPID"), "LX40\r");
  EXPECT_EQ(Ask(*meters[0].meter, "QPID"), "") << "the unplug fault strikes";
  ASSERT_TRUE(WaitFor([&] {
    const usbsim::DeviceId now = usbsim::LineDeviceOf(meters[0].meter.get());
    return now != 0 && now != first;
  })) << "the same meter comes back as a new device";
  EXPECT_NE(AddressOn(meters[0].hub, 1), first_address);
  EXPECT_FALSE(OnBus(meters[1]));
  EXPECT_EQ(Ask(*meters[0].meter, "QPID"), "LX40\r");
  ASSERT_TRUE(WaitFor([&] { return OnBus(meters[1]); }));
  EXPECT_FALSE(OnBus(meters[0]));
}

TEST_F(LineTest, MeterTakenOffTheBusByOthersCountsAsPulled) {
  const auto meters = Build(
      "[meter]\nserial = U1\nport = 1\n"
      "[meter]\nserial = U2\nport = 1\nplug_after_ms = 0\n");
  ASSERT_TRUE(OnBus(meters[0]));
  usbsim::Bus::Instance().Unplug(usbsim::LineDeviceOf(meters[0].meter.get()));
  ASSERT_TRUE(WaitFor([&] { return OnBus(meters[1]); }));
}

TEST_F(LineTest, StateFileShowsWhereEachMeterOfTheLineIs) {
  const auto meters = Build(
      "[meter]\nserial = S1\nport = 1\n"
      "[meter]\nserial = S2\nport = 1\n");
  const std::string state = usbsim::SimStateJson(meters);
  EXPECT_NE(state.find("\"serial\":\"S1\",\"plugged\":true"), std::string::npos) << state;
  EXPECT_NE(state.find("\"serial\":\"S2\",\"plugged\":false"), std::string::npos) << state;
}

TEST_F(LineTest, StoppedLinePlugsNothingMore) {
  const auto meters = Build(
      "[meter]\nserial = X1\nport = 1\npull_after_ms = 30\n"
      "[meter]\nserial = X2\nport = 1\nplug_after_ms = 0\n");
  ASSERT_TRUE(WaitFor([&] { return OnBus(meters[1]); }));
  usbsim::StopLine();
  EXPECT_EQ(usbsim::LineDeviceOf(meters[1].meter.get()), 0u);
  EXPECT_EQ(SerialsPresent().size(), 1u) << "what is plugged stays";
}

}  // namespace
