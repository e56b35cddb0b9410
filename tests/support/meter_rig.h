// Virtual meters on the simulated bus for the meter session and setup run
// tests, and a tap between Meterlink and a meter that lets a test act at a
// chosen host write (press Cancel, look at the window) or spoil one answer.
#ifndef LX40_TESTS_SUPPORT_METER_RIG_H
#define LX40_TESTS_SUPPORT_METER_RIG_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "bus/sim_bus.h"
#include "meter/meter_attach.h"
#include "meter/virtual_meter.h"
#include "meterlink.h"
#include "sim_bus_setup.h"

namespace rig {

using Bytes = std::vector<uint8_t>;
using usbsim::VirtualMeter;

inline Bytes ToBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Sits in front of a virtual meter: every write and read passes through to
// it. Actions run on the host's thread (the run's) before the matching
// write reaches the meter.
class MeterTap : public usbsim::PipeEndpoint {
 public:
  using Match = std::function<bool(const Bytes&)>;

  explicit MeterTap(std::shared_ptr<VirtualMeter> meter) : meter_(std::move(meter)) {}

  static Match OfSize(size_t size) {
    return [size](const Bytes& write) { return write.size() == size; };
  }
  static Match Exactly(const std::string& text) {
    return [bytes = ToBytes(text)](const Bytes& write) { return write == bytes; };
  }

  // Runs `action` before the `occurrence`-th (from 1) write that matches.
  void BeforeWrite(Match match, int occurrence, std::function<void()> action) {
    std::lock_guard<std::mutex> lock(mutex_);
    hooks_.push_back({std::move(match), occurrence, 0, std::move(action), 0});
  }
  // The first byte of the answer to the `occurrence`-th matching write is
  // replaced by `value` on its way to the host.
  void SpoilAnswer(Match match, int occurrence, uint8_t value) {
    std::lock_guard<std::mutex> lock(mutex_);
    hooks_.push_back({std::move(match), occurrence, 0, nullptr, value});
  }

  bool OnHostWrite(const uint8_t* data, uint32_t size) override {
    const Bytes write(data, data + size);
    std::vector<std::function<void()>> actions;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (Hook& hook : hooks_) {
        if (!hook.match(write) || ++hook.seen != hook.occurrence) continue;
        if (hook.action) {
          actions.push_back(hook.action);
        } else {
          spoilNext_ = true;
          spoilValue_ = hook.spoil;
        }
      }
    }
    for (const auto& action : actions) action();
    return meter_->OnHostWrite(data, size);
  }

  bool OnHostRead(uint8_t* data, uint32_t size, uint32_t* done) override {
    const bool ok = meter_->OnHostRead(data, size, done);
    std::lock_guard<std::mutex> lock(mutex_);
    if (ok && spoilNext_ && *done > 0) {
      data[0] = spoilValue_;
      spoilNext_ = false;
    }
    return ok;
  }

 private:
  struct Hook {
    Match match;
    int occurrence;
    int seen;
    std::function<void()> action;  // null: spoil the answer instead
    uint8_t spoil;
  };

  std::shared_ptr<VirtualMeter> meter_;
  std::mutex mutex_;
  std::vector<Hook> hooks_;
  bool spoilNext_ = false;
  uint8_t spoilValue_ = 0;
};

struct TappedMeter {
  usbsim::DeviceId device = 0;
  std::shared_ptr<VirtualMeter> meter;
  std::shared_ptr<MeterTap> tap;
};

// The bus for one test: an empty bus with one host controller, Meterlink's
// device table closed before and after.
class MeterBench {
 public:
  MeterBench() {
    CloseAllDevice();
    root_ = sim_setup::EmptyBusWithRootHub(8);
  }
  ~MeterBench() {
    CloseAllDevice();
    Bus().Reset();
  }
  MeterBench(const MeterBench&) = delete;
  MeterBench& operator=(const MeterBench&) = delete;

  static usbsim::Bus& Bus() { return usbsim::Bus::Instance(); }

  // A virtual meter on the next root port; the device order on the bus is
  // the order of attaching.
  std::shared_ptr<VirtualMeter> Attach(usbsim::MeterConfig config) {
    return AttachOnBus(std::move(config)).meter;
  }
  // The same with its place on the bus, to plug it back in (ReplugMeter).
  usbsim::AttachedMeter AttachOnBus(usbsim::MeterConfig config) {
    return usbsim::AttachMeter(root_, nextPort_++, std::move(config));
  }

  // The same behind a tap.
  TappedMeter AttachTapped(usbsim::MeterConfig config) {
    TappedMeter tapped;
    usbsim::SimulatedDevice details;
    details.vendor_id = usbsim::kMeterVendorId;
    details.product_id = usbsim::kMeterProductId;
    details.serial.assign(config.serial.begin(), config.serial.end());
    tapped.meter = std::make_shared<VirtualMeter>(std::move(config));
    tapped.tap = std::make_shared<MeterTap>(tapped.meter);
    details.pipes = tapped.tap;
    tapped.device = Bus().Plug(root_, nextPort_++, std::move(details));
    const usbsim::DeviceId device = tapped.device;
    tapped.meter->SetUnplugHandler([device] { Bus().Unplug(device); });
    return tapped;
  }

 private:
  usbsim::NodeId root_ = 0;
  int nextPort_ = 1;
};

inline usbsim::MeterConfig MeterWithSerial(const std::string& serial) {
  usbsim::MeterConfig config;
  config.serial = serial;
  return config;
}

// The host's writes in a transcript, in order.
inline std::vector<Bytes> HostWrites(const std::vector<VirtualMeter::TranscriptEntry>& transcript) {
  std::vector<Bytes> writes;
  for (const auto& entry : transcript) {
    if (entry.direction == VirtualMeter::Direction::kHostToMeter) writes.push_back(entry.bytes);
  }
  return writes;
}

inline int CountWrites(const std::vector<VirtualMeter::TranscriptEntry>& transcript,
                       const std::string& text) {
  int count = 0;
  for (const Bytes& write : HostWrites(transcript)) count += write == ToBytes(text) ? 1 : 0;
  return count;
}

// Lets the run's thread stop at a point until the test thread has acted:
// the run calls Arrive(), the test WaitForArrival(), acts, then Release().
// Every wait is bounded, so a broken test fails instead of hanging.
class Rendezvous {
 public:
  void Arrive() {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_ = true;
    changed_.notify_all();
    changed_.wait_for(lock, kHangGuard, [this] { return released_; });
  }
  bool WaitForArrival() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kHangGuard, [this] { return arrived_; });
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  static constexpr std::chrono::seconds kHangGuard{60};
  std::mutex mutex_;
  std::condition_variable changed_;
  bool arrived_ = false;
  bool released_ = false;
};

}  // namespace rig

#endif
