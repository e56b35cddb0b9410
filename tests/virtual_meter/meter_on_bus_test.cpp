// Meters on the simulated bus, talked to through the usbhost calls the way
// Bulkpipe and Meterlink reach them.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "bus/sim_bus.h"
#include "meter/meter_attach.h"
#include "meter/meter_config_file.h"
#include "usbhost.h"

namespace {

using usbsim::AttachedMeter;

class PipePair {
 public:
  explicit PipePair(const std::string& interface_path)
      : command_(usbhost_open((interface_path + "\\0").c_str(), USBHOST_GENERIC_WRITE,
                              USBHOST_FILE_SHARE_READ | USBHOST_FILE_SHARE_WRITE)),
        reply_(usbhost_open((interface_path + "\\1").c_str(), USBHOST_GENERIC_READ,
                            USBHOST_FILE_SHARE_READ | USBHOST_FILE_SHARE_WRITE)) {}
  ~PipePair() {
    if (command_ != USBHOST_INVALID) usbhost_close(command_);
    if (reply_ != USBHOST_INVALID) usbhost_close(reply_);
  }
  PipePair(const PipePair&) = delete;
  PipePair& operator=(const PipePair&) = delete;

  bool open() const { return command_ != USBHOST_INVALID && reply_ != USBHOST_INVALID; }

  // Writes the command line and reads 64-byte blocks until a zero read;
  // returns the reply, or "<failed>" when a call fails.
  std::string Ask(const std::string& command) {
    const std::string frame = command + "\n";
    uint32_t done = 0;
    if (!usbhost_write(command_, frame.data(), static_cast<uint32_t>(frame.size()), &done)) {
      return "<failed>";
    }
    std::string reply;
    for (int i = 0; i < 100; ++i) {
      char block[64];
      if (!usbhost_read(reply_, block, sizeof block, &done)) return "<failed>";
      if (done == 0) return reply;
      reply.append(block, done);
    }
    return "<endless>";
  }

 private:
  usbhost_handle command_;
  usbhost_handle reply_;
};

TEST(MeterOnBus, DefaultTopologyMetersAnswerThroughTheirPipes) {
  const std::vector<AttachedMeter> meters = usbsim::BuildDefaultTopology();
  ASSERT_EQ(meters.size(), 2u);
  const char* serials[] = {"A12345678", "B23456789"};
  for (size_t i = 0; i < meters.size(); ++i) {
    ASSERT_NE(meters[i].device, 0u);
    const std::string path = usbsim::Bus::Instance().InterfacePath(meters[i].device);
    ASSERT_FALSE(path.empty());
    PipePair pipes(path);
    ASSERT_TRUE(pipes.open());
    EXPECT_EQ(pipes.Ask("QPID"), "LX40\r");
    EXPECT_EQ(pipes.Ask("IDN"), "Vantor,LX40," + std::string(serials[i]) + ",100\r");
    EXPECT_EQ(pipes.Ask("TEST"), "TEST:0000000\r");
    EXPECT_EQ(meters[i].meter->ExchangeCount(), 3);
  }
  usbsim::Bus::Instance().Reset();
}

TEST(MeterOnBus, UnpluggedMeterFailsTheHostsCalls) {
  const std::vector<AttachedMeter> meters = usbsim::BuildDefaultTopology();
  usbsim::MeterFaults faults;
  faults.unplug_at = 2;
  meters[0].meter->SetFaults(faults);
  PipePair pipes(usbsim::Bus::Instance().InterfacePath(meters[0].device));
  ASSERT_TRUE(pipes.open());
  EXPECT_EQ(pipes.Ask("QPID"), "LX40\r");
  EXPECT_EQ(pipes.Ask("QPID"), "<failed>");
  EXPECT_TRUE(meters[0].meter->Unplugged());
  EXPECT_EQ(usbsim::Bus::Instance().InterfacePath(meters[0].device), "");  // gone from the bus
  EXPECT_NE(usbsim::Bus::Instance().InterfacePath(meters[1].device), "");
  usbsim::Bus::Instance().Reset();
}

TEST(MeterOnBus, ConfigFileBuildsItsMetersBehindTheRightHubs) {
  const std::string path = testing::TempDir() + "virtual_meter_test_meters.ini";
  {
    std::ofstream file(path, std::ios::binary);
    file << "[meter]\nserial = R00000001\nslots = 0000001\n"
            "[meter]\nserial = H00000002\nbehind_hub = yes\nbattery = low\n"
            "[meter]\nserial = R00000003\nmodel = LX99\n";
  }
  std::vector<AttachedMeter> meters;
  ASSERT_EQ(usbsim::LoadMeterConfigFile(path, &meters), "");
  std::remove(path.c_str());
  ASSERT_EQ(meters.size(), 3u);

  const char* expected_first_answers[][2] = {
      {"QPID", "LX40\r"}, {"BTRY", "BATERY_LO\r"}, {"QPID", "LX99\r"}};
  for (size_t i = 0; i < meters.size(); ++i) {
    PipePair pipes(usbsim::Bus::Instance().InterfacePath(meters[i].device));
    ASSERT_TRUE(pipes.open()) << i;
    EXPECT_EQ(pipes.Ask(expected_first_answers[i][0]), expected_first_answers[i][1]);
  }
  EXPECT_TRUE(meters[0].meter->SlotFilled(6));
  EXPECT_EQ(meters[1].meter->Config().serial, "H00000002");
  usbsim::Bus::Instance().Reset();
}

// The same meter back in its port: found again under the same interface
// path, its slots and exchange count kept, its one-shot faults gone.
TEST(MeterOnBus, ReplugBringsTheSameMeterBack) {
  const std::vector<AttachedMeter> meters = usbsim::BuildDefaultTopology();
  usbsim::Bus& bus = usbsim::Bus::Instance();
  const std::string path = bus.InterfacePath(meters[0].device);
  usbsim::MeterFaults faults;
  faults.unplug_at = 2;
  faults.hang_from = 5;
  meters[0].meter->SetFaults(faults);
  {
    PipePair pipes(path);
    EXPECT_EQ(pipes.Ask("QPID"), "LX40\r");
    EXPECT_EQ(pipes.Ask("QPID"), "<failed>");
  }
  EXPECT_FALSE(bus.IsPlugged(meters[0].device));
  EXPECT_EQ(bus.InterfaceCount(), 1);

  const AttachedMeter back = usbsim::ReplugMeter(meters[0]);
  ASSERT_NE(back.device, 0u);
  EXPECT_NE(back.device, meters[0].device);
  EXPECT_EQ(back.meter, meters[0].meter);
  EXPECT_EQ(bus.InterfacePath(back.device), path);
  EXPECT_FALSE(back.meter->Unplugged());
  PipePair pipes(path);
  ASSERT_TRUE(pipes.open());
  for (int i = 0; i < 5; ++i) EXPECT_EQ(pipes.Ask("QPID"), "LX40\r");  // no unplug, no hang
  EXPECT_EQ(back.meter->ExchangeCount(), 2 + 5);
  bus.Reset();
}

// replug_after: the meter comes back by itself, seen by the first host call
// after the time; until then the bus does not show it.
TEST(MeterOnBus, ReplugAfterPlugsTheMeterBackByItself) {
  std::vector<usbsim::MeterPlacement> placements;
  ASSERT_EQ(usbsim::ParseMeterConfigText(
                "[meter]\nserial = A12345678\nunplug_at = 2\nreplug_after_ms = 50\n", &placements),
            "");
  const std::vector<AttachedMeter> meters = usbsim::BuildConfiguredTopology(placements);
  usbsim::Bus& bus = usbsim::Bus::Instance();
  const std::string path = bus.InterfacePath(meters[0].device);
  {
    PipePair pipes(path);
    EXPECT_EQ(pipes.Ask("QPID"), "LX40\r");
    EXPECT_EQ(pipes.Ask("QPID"), "<failed>");
  }
  char found[512];
  const uint8_t* guid = usbsim::Bus::kMeterInterfaceGuid.data();
  EXPECT_EQ(usbhost_interface_path(guid, 0, found, sizeof found), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  ASSERT_EQ(usbhost_interface_path(guid, 0, found, sizeof found), 1);
  EXPECT_EQ(std::string(found), path);
  PipePair pipes(path);
  EXPECT_EQ(pipes.Ask("QPID"), "LX40\r");
  EXPECT_EQ(usbhost_interface_path(guid, 1, found, sizeof found), 0);  // once, not twice
  bus.Reset();
}

}  // namespace
