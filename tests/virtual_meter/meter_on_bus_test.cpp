// Meters on the simulated bus, talked to through the usbhost calls the way
// Bulkpipe and Meterlink reach them.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "usbhost/sim/bus/sim_bus.h"
#include "usbhost/sim/meter/meter_attach.h"
#include "usbhost/sim/meter/meter_config_file.h"
#include "usbhost/usbhost.h"

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

}  // namespace
