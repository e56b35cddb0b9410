// Shared pieces of the bus tests: an echo endpoint, a fixture that empties
// the bus around each test, and helpers that call the usbhost functions with
// separate, sentinel-filled buffers so a test sees exactly what was written.
#ifndef LX40_TESTS_USBHOST_SIM_BUS_FIXTURE_H
#define LX40_TESTS_USBHOST_SIM_BUS_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bus/sim_bus.h"
#include "hub_ioctl_codes.h"
#include "usbhost.h"

namespace usbsim_test {

inline constexpr uint32_t kReadWrite = USBHOST_GENERIC_READ | USBHOST_GENERIC_WRITE;
inline constexpr uint32_t kShareReadWrite = USBHOST_FILE_SHARE_READ | USBHOST_FILE_SHARE_WRITE;
inline constexpr uint8_t kSentinel = 0xAA;

using namespace hub_ioctl;

// Pipe 0 bytes come back on pipe 1; an idle read completes with 0 bytes.
class EchoEndpoint : public usbsim::PipeEndpoint {
 public:
  bool OnHostWrite(const uint8_t* data, uint32_t size) override {
    std::lock_guard lock(mutex_);
    if (refuse_) return false;
    pending_.insert(pending_.end(), data, data + size);
    ++writes_;
    return true;
  }
  bool OnHostRead(uint8_t* data, uint32_t size, uint32_t* done) override {
    std::lock_guard lock(mutex_);
    if (refuse_) return false;
    uint32_t n = 0;
    while (n < size && !pending_.empty()) {
      data[n++] = pending_.front();
      pending_.pop_front();
    }
    *done = n;
    return true;
  }
  void Refuse(bool refuse) {
    std::lock_guard lock(mutex_);
    refuse_ = refuse;
  }
  int Writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
  }

 private:
  mutable std::mutex mutex_;
  std::deque<uint8_t> pending_;
  int writes_ = 0;
  bool refuse_ = false;
};

inline usbsim::SimulatedDevice Meter(const std::u16string& serial,
                                     std::shared_ptr<usbsim::PipeEndpoint> pipes = nullptr) {
  usbsim::SimulatedDevice details;
  details.serial = serial;
  details.pipes = pipes ? std::move(pipes) : std::make_shared<EchoEndpoint>();
  return details;
}

struct IoctlResult {
  bool ok = false;
  uint32_t returned = 0;
  std::vector<uint8_t> out;  // the whole out buffer, sentinel where untouched
};

inline IoctlResult Ioctl(usbhost_handle h, uint32_t code, std::vector<uint8_t> in,
                         uint32_t out_size) {
  IoctlResult r;
  r.out.assign(out_size, kSentinel);
  r.returned = 0xDEADBEEF;
  r.ok = usbhost_ioctl(h, code, in.empty() ? nullptr : in.data(), static_cast<uint32_t>(in.size()),
                       r.out.empty() ? nullptr : r.out.data(), out_size, &r.returned) == 1;
  return r;
}

inline uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b.at(at)) | (static_cast<uint32_t>(b.at(at + 1)) << 8) |
         (static_cast<uint32_t>(b.at(at + 2)) << 16) | (static_cast<uint32_t>(b.at(at + 3)) << 24);
}
inline uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}
inline void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) b.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutU16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b.at(at) = static_cast<uint8_t>(v);
  b.at(at + 1) = static_cast<uint8_t>(v >> 8);
}

// `units` UTF-16LE code units from `at`, as 8-bit text (the names are ASCII).
inline std::string Ascii(const std::vector<uint8_t>& b, size_t at, size_t units) {
  std::string s;
  for (size_t i = 0; i < units; ++i) s += static_cast<char>(U16(b, at + 2 * i));
  return s;
}

// A request record of `size` zero bytes with ConnectionIndex = port.
inline std::vector<uint8_t> ConnectionRequest(uint32_t port, size_t size) {
  std::vector<uint8_t> b(size, 0);
  if (size >= 4) PutU32(b, 0, port);
  return b;
}

// USB_DESCRIPTOR_REQUEST header and `data` bytes of room.
inline std::vector<uint8_t> DescriptorRequest(uint32_t port, uint16_t value, uint16_t index,
                                              uint16_t length, size_t data) {
  std::vector<uint8_t> b(12 + data, 0);
  PutU32(b, 0, port);
  PutU16(b, 6, value);
  PutU16(b, 8, index);
  PutU16(b, 10, length);
  return b;
}

inline std::string InterfacePathAt(int32_t position) {
  char path[512];
  if (usbhost_interface_path(usbsim::Bus::kMeterInterfaceGuid.data(), position, path,
                             sizeof path) != 1) {
    return "";
  }
  return path;
}

class BusTest : public ::testing::Test {
 protected:
  void SetUp() override { bus().Reset(); }
  void TearDown() override { bus().Reset(); }
  static usbsim::Bus& bus() { return usbsim::Bus::Instance(); }

  static usbhost_handle OpenController(int number) {
    return usbhost_open(("\\\\.\\HCD" + std::to_string(number)).c_str(), USBHOST_GENERIC_WRITE,
                        USBHOST_FILE_SHARE_WRITE);
  }
  static usbhost_handle OpenHub(usbsim::NodeId hub) {
    return usbhost_open(("\\\\.\\" + bus().HubName(hub)).c_str(), USBHOST_GENERIC_WRITE,
                        USBHOST_FILE_SHARE_WRITE);
  }
  static usbhost_handle OpenFile(const std::string& path, uint32_t access = kReadWrite) {
    return usbhost_open(path.c_str(), access, kShareReadWrite);
  }
};

// The topology the hub driver tests start from: a root hub of four ports
// with a meter on port 1 and an external two-port hub on port 3.
class MeterAndHubTest : public BusTest {
 protected:
  void SetUp() override {
    BusTest::SetUp();
    root_ = bus().AddController(0, 4);
    meter_ = bus().Plug(root_, 1, Meter(u"A12345678"));
    hub_ = bus().AddHub(root_, 3, 2);
    ASSERT_NE(root_, 0u);
    ASSERT_NE(meter_, 0u);
    ASSERT_NE(hub_, 0u);
  }

  usbsim::NodeId root_ = 0;
  usbsim::NodeId hub_ = 0;
  usbsim::DeviceId meter_ = 0;
};

}  // namespace usbsim_test

#endif
