// Virtual meters on the simulated bus for the handle API tests: an empty
// bus with one controller, every handle the test opened closed afterwards.
#ifndef LX40_TESTS_METERLINK_HANDLES_HANDLE_FIXTURE_H
#define LX40_TESTS_METERLINK_HANDLES_HANDLE_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "bus/sim_bus.h"
#include "meter/meter_attach.h"
#include "meter/virtual_meter.h"
#include "meterlink.h"
#include "mlink.h"

namespace handletest {

using Bytes = std::vector<uint8_t>;

inline usbsim::MeterConfig MeterWithSerial(const std::string& serial) {
  usbsim::MeterConfig config;
  config.serial = serial;
  return config;
}

// The host's writes in a meter's transcript.
inline std::vector<Bytes> HostWrites(const usbsim::VirtualMeter& meter) {
  std::vector<Bytes> writes;
  for (const auto& entry : meter.Transcript()) {
    if (entry.direction == usbsim::VirtualMeter::Direction::kHostToMeter) {
      writes.push_back(entry.bytes);
    }
  }
  return writes;
}

class HandleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CloseAllDevice();
    Bus().Reset();
    root_ = Bus().AddController(0, 8);
    hub_ = Bus().AddHub(root_, 8, 7);
  }
  void TearDown() override {
    for (mlink_meter* meter : opened_) mlink_close(meter);
    CloseAllDevice();
    Bus().Reset();
  }

  static usbsim::Bus& Bus() { return usbsim::Bus::Instance(); }

  // A virtual meter on the next free port (root ports 1 to 7, then the hub).
  std::shared_ptr<usbsim::VirtualMeter> Attach(usbsim::MeterConfig config) {
    const bool onRoot = nextPort_ < 8;
    const usbsim::NodeId hub = onRoot ? root_ : hub_;
    const int port = onRoot ? nextPort_ : nextPort_ - 7;
    ++nextPort_;
    return usbsim::AttachMeter(hub, port, std::move(config)).meter;
  }

  // Opens the meter or fails the test; closed in TearDown.
  mlink_meter* Open(const std::string& serial) {
    mlink_meter* meter = nullptr;
    EXPECT_EQ(mlink_open(serial.c_str(), &meter), MLINK_OK) << serial;
    if (meter != nullptr) opened_.push_back(meter);
    return meter;
  }

 private:
  usbsim::NodeId root_ = 0;
  usbsim::NodeId hub_ = 0;
  int nextPort_ = 1;
  std::vector<mlink_meter*> opened_;
};

}  // namespace handletest

#endif
