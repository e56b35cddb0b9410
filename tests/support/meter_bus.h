// Test fixture: an empty simulated bus with one host controller, on which a
// test plugs devices whose pipes are served by scripted endpoints. Meterlink's
// process-wide table is closed before and after every test.
#ifndef LX40_TESTS_SUPPORT_METER_BUS_H
#define LX40_TESTS_SUPPORT_METER_BUS_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "bus/sim_bus.h"
#include "meterlink.h"
#include "scripted_endpoint.h"
#include "sim_bus_setup.h"

namespace mltest {

class MeterBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CloseAllDevice();
    root_ = sim_setup::EmptyBusWithRootHub(8);
  }
  void TearDown() override {
    CloseAllDevice();
    Bus().Reset();
  }

  static usbsim::Bus& Bus() { return usbsim::Bus::Instance(); }

  // A device with the meter's USB identity on the next free port, its pipes
  // served by a fresh endpoint that has nothing scripted yet.
  std::shared_ptr<ScriptedEndpoint> PlugDevice() {
    auto endpoint = std::make_shared<ScriptedEndpoint>();
    sim_setup::PlugMeterDevice(root_, nextPort_,
                               u"S" + std::u16string(8, static_cast<char16_t>(u'0' + nextPort_)),
                               endpoint);
    ++nextPort_;
    return endpoint;
  }

  // A device that answers "QPID" with "LX40" and "IDN" with `idn`.
  std::shared_ptr<ScriptedEndpoint> PlugMeterWithIdn(const std::string& idn) {
    auto endpoint = PlugDevice();
    endpoint->QueueText("LX40\r\n");
    endpoint->QueueText(idn + "\r\n");
    return endpoint;
  }
  std::shared_ptr<ScriptedEndpoint> PlugMeter(const std::string& serial) {
    return PlugMeterWithIdn("VANTOR,LX40," + serial + ",1.00");
  }
  // A device that answers "QPID" with something other than the model string.
  std::shared_ptr<ScriptedEndpoint> PlugOtherDevice() {
    auto endpoint = PlugDevice();
    endpoint->QueueText("LX30\r\n");
    return endpoint;
  }

  // One meter, the table open and the meter selected; its record cleared.
  std::shared_ptr<ScriptedEndpoint> SelectedMeter() {
    auto meter = PlugMeter("A12345678");
    EXPECT_EQ(OpenAllDevice(), MLINK_OK);
    char serial[16] = "A12345678";
    EXPECT_EQ(SelectOneDevice(serial), MLINK_OK);
    meter->ClearRecord();
    return meter;
  }

  // The serial walk until (and including) the first "SN_END".
  static std::vector<std::string> SerialWalk() {
    std::vector<std::string> serials;
    for (int i = 0; i < 130; ++i) {
      char serial[16] = {};
      if (GetAllDeviceSerialNo(serial) != MLINK_OK) break;
      serials.emplace_back(serial);
      if (serials.back() == "SN_END") break;
    }
    return serials;
  }

  usbsim::NodeId root_ = 0;
  int nextPort_ = 1;
};

}  // namespace mltest

#endif
