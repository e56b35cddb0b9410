// Many meters from many threads: eight meters answering eight threads at
// once, each thread running commands and a whole table load on its own
// meter, and the ordinal interface used beside the handle API. Run under
// the thread sanitizer to see data races.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "handle_fixture.h"
#include "memory_resources.h"

namespace handletest {
namespace {

constexpr int kMeters = 8;

std::string SerialOf(int i) { return "M" + std::to_string(100000000 + i); }

// What one thread did with its meter; checked on the main thread.
struct Outcome {
  int32_t open = 0;
  int32_t identity = 0;
  std::string serial;
  int32_t setAveraging = 0;
  int32_t averaging = -1;
  int32_t load = 0;
  int32_t close = 0;
};

// The table thread i loads: its own slot, type and wavelengths.
Bytes TableFor(int i) {
  return MakeSensorTable(static_cast<uint16_t>(i % MLINK_SLOT_COUNT),
                         static_cast<uint16_t>(8000 + i), 250, static_cast<uint16_t>(400 + 7 * i));
}

Outcome UseOwnMeter(int i) {
  Outcome out;
  mlink_meter* meter = nullptr;
  out.open = mlink_open(SerialOf(i).c_str(), &meter);
  if (out.open != MLINK_OK) return out;
  IdnInfo idn{};
  out.identity = mlink_identity(meter, &idn);
  out.serial = idn.serial;
  out.setAveraging = mlink_set_averaging(meter, 10 + i);
  mlink_get_averaging(meter, &out.averaging);
  const Bytes table = TableFor(i);
  int32_t rc = mlink_load_begin(meter, table.data(), table.size());
  while (rc == MLINK_OK) rc = mlink_load_step(meter);
  out.load = rc;
  out.close = mlink_close(meter);
  return out;
}

TEST_F(HandleTest, EightThreadsLoadEightMetersAtOnce) {
  std::vector<std::shared_ptr<usbsim::VirtualMeter>> meters;
  for (int i = 0; i < kMeters; ++i) {
    usbsim::MeterConfig config = MeterWithSerial(SerialOf(i));
    config.latency = std::chrono::microseconds(100);
    meters.push_back(Attach(config));
  }
  std::vector<Outcome> outcomes(kMeters);
  std::vector<std::thread> threads;
  for (int i = 0; i < kMeters; ++i) {
    threads.emplace_back([i, &outcomes] { outcomes[i] = UseOwnMeter(i); });
  }
  for (std::thread& t : threads) t.join();

  for (int i = 0; i < kMeters; ++i) {
    const Outcome& out = outcomes[i];
    EXPECT_EQ(out.open, MLINK_OK) << i;
    EXPECT_EQ(out.identity, MLINK_OK) << i;
    EXPECT_EQ(out.serial, SerialOf(i)) << i;
    EXPECT_EQ(out.setAveraging, MLINK_OK) << i;
    EXPECT_EQ(out.averaging, 10 + i) << i;
    EXPECT_EQ(out.load, MLINK_DONE) << i;
    EXPECT_EQ(out.close, MLINK_OK) << i;
    EXPECT_EQ(meters[i]->SlotContent(i % MLINK_SLOT_COUNT), std::optional<Bytes>(TableFor(i))) << i;
  }
  EXPECT_EQ(Bus().OpenHandleCount(), 0);
}

// Sits in front of a virtual meter. Once armed, the first read of each
// meter waits (at most 20 s) until every meter's first read has arrived:
// all of them finish only if Meterlink and the bus let eight reads be in
// progress at the same time.
class GatheringTap : public usbsim::PipeEndpoint {
 public:
  struct Gate {
    std::mutex mutex;
    std::condition_variable all;
    int arrived = 0;
    bool armed = false;
  };

  GatheringTap(std::shared_ptr<usbsim::VirtualMeter> meter, Gate& gate)
      : meter_(std::move(meter)), gate_(gate) {}

  bool OnHostWrite(const uint8_t* data, uint32_t size) override {
    return meter_->OnHostWrite(data, size);
  }
  bool OnHostRead(uint8_t* data, uint32_t size, uint32_t* done) override {
    {
      std::unique_lock<std::mutex> lock(gate_.mutex);
      if (gate_.armed && !waited_) {
        waited_ = true;
        ++gate_.arrived;
        gate_.all.notify_all();
        gathered_ = gate_.all.wait_for(lock, std::chrono::seconds(20),
                                       [this] { return gate_.arrived == kMeters; });
      }
    }
    return meter_->OnHostRead(data, size, done);
  }
  bool gathered() const {
    std::lock_guard<std::mutex> lock(gate_.mutex);
    return gathered_;
  }

 private:
  std::shared_ptr<usbsim::VirtualMeter> meter_;
  Gate& gate_;
  bool waited_ = false;
  bool gathered_ = false;
};

TEST_F(HandleTest, EightMetersAnswerEightThreadsAtTheSameTime) {
  GatheringTap::Gate gate;
  std::vector<std::shared_ptr<GatheringTap>> taps;
  const usbsim::NodeId root = Bus().AddController(1, 8);
  for (int i = 0; i < kMeters; ++i) {
    usbsim::MeterConfig config = MeterWithSerial(SerialOf(i));
    config.latency = std::chrono::milliseconds(1);
    auto meter = std::make_shared<usbsim::VirtualMeter>(config);
    taps.push_back(std::make_shared<GatheringTap>(meter, gate));
    usbsim::SimulatedDevice device;
    device.vendor_id = usbsim::kMeterVendorId;
    device.product_id = usbsim::kMeterProductId;
    device.serial.assign(config.serial.begin(), config.serial.end());
    device.pipes = taps.back();
    ASSERT_NE(Bus().Plug(root, i + 1, device), 0u);
  }
  std::vector<mlink_meter*> handles;
  for (int i = 0; i < kMeters; ++i) handles.push_back(Open(SerialOf(i)));
  {
    std::lock_guard<std::mutex> lock(gate.mutex);
    gate.armed = true;
  }
  std::vector<int32_t> results(kMeters, 0);
  std::vector<std::string> replies(kMeters);
  std::vector<std::thread> threads;
  for (int i = 0; i < kMeters; ++i) {
    threads.emplace_back([&, i] {
      char reply[MLINK_REPLY_SIZE] = {};
      results[i] =
          mlink_command(handles[i], "BTRY", reply, sizeof reply, MLINK_COMMAND_NO_BATTERY_CHECK);
      replies[i] = reply;
    });
  }
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < kMeters; ++i) {
    EXPECT_TRUE(taps[i]->gathered()) << i;
    EXPECT_EQ(results[i], MLINK_OK) << i;
    EXPECT_EQ(replies[i], "BATERY_OK") << i;
  }
}

// The ordinal interface builds, uses and closes its table again and again
// while handle users in other threads run loads: neither disturbs the
// other, and the table never talks to a meter open through a handle.
TEST_F(HandleTest, OrdinalUserBesideHandleUsers) {
  constexpr int kHandleUsers = 3;
  std::vector<std::shared_ptr<usbsim::VirtualMeter>> meters;
  for (int i = 0; i <= kHandleUsers; ++i) meters.push_back(Attach(MeterWithSerial(SerialOf(i))));
  std::vector<mlink_meter*> handles;
  for (int i = 0; i < kHandleUsers; ++i) handles.push_back(Open(SerialOf(i)));
  for (int i = 0; i < kHandleUsers; ++i) meters[i]->ClearTranscript();

  std::atomic<bool> stop{false};
  std::atomic<int> rounds{0};
  std::vector<std::string> ordinalFaults;
  std::thread ordinal([&] {
    const std::string mine = SerialOf(kHandleUsers);
    while (!stop.load() || rounds.load() < 5) {
      ++rounds;
      int32_t count = 0;
      char serial[16] = {};
      IdnInfo idn{};
      if (OpenAllDevice() != MLINK_OK || GetAllDeviceNum(&count) != MLINK_OK || count != 1 ||
          GetAllDeviceSerialNo(serial) != MLINK_OK || mine.compare(0, 9, serial, 9) != 0 ||
          SelectOneDevice(serial) != MLINK_OK || QUES_IDN(&idn) != MLINK_OK ||
          mine.rfind(idn.serial, 0) != 0) {
        ordinalFaults.push_back("round with count " + std::to_string(count) + " serial " + serial);
      }
      CloseAllDevice();
    }
  });
  std::vector<int32_t> loads(kHandleUsers, 0);
  std::vector<std::thread> users;
  for (int i = 0; i < kHandleUsers; ++i) {
    users.emplace_back([&, i] {
      for (int round = 0; round < 3; ++round) {
        const Bytes table = TableFor(i);
        int32_t rc = mlink_load_begin(handles[i], table.data(), table.size());
        while (rc == MLINK_OK) rc = mlink_load_step(handles[i]);
        mlink_meter_info infos[kHandleUsers + 1];
        size_t found = 0;
        if (rc == MLINK_DONE) rc = mlink_enumerate(infos, kHandleUsers + 1, &found);
        if (rc == MLINK_OK && found != kHandleUsers + 1) rc = -1000;
        loads[i] = rc;
        if (rc != MLINK_OK) return;
      }
    });
  }
  for (std::thread& t : users) t.join();
  stop = true;
  ordinal.join();

  EXPECT_TRUE(ordinalFaults.empty()) << ordinalFaults.front();
  for (int i = 0; i < kHandleUsers; ++i) {
    EXPECT_EQ(loads[i], MLINK_OK) << i;
    EXPECT_EQ(meters[i]->SlotContent(i % MLINK_SLOT_COUNT), std::optional<Bytes>(TableFor(i)));
    // Only the handle's own exchanges reached the meter: no walk's "QPID".
    for (const Bytes& write : HostWrites(*meters[i])) {
      EXPECT_NE(write, (Bytes{'Q', 'P', 'I', 'D', '\n'})) << i;
    }
  }
}

// mlink_close from one thread while another thread's call on the same
// meter is still waiting for the reply: the call completes with its reply,
// the meter stays registered (and its pipes open) until that call has
// returned, and everything is released after.
TEST_F(HandleTest, CloseDuringACallReleasesTheMeterWhenTheCallReturns) {
  usbsim::MeterConfig config = MeterWithSerial("A12345678");
  config.latency = std::chrono::milliseconds(400);
  auto virtualMeter = Attach(config);
  mlink_meter* meter = nullptr;
  ASSERT_EQ(mlink_open("A12345678", &meter), MLINK_OK);
  virtualMeter->ClearTranscript();

  int32_t commandResult = 0;
  std::string reply;
  std::thread caller([&] {
    char text[MLINK_REPLY_SIZE] = {};
    commandResult =
        mlink_command(meter, "GET_SENSER", text, sizeof text, MLINK_COMMAND_NO_BATTERY_CHECK);
    reply = text;
  });
  // The command is out: the meter is now taking its time to answer.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (HostWrites(*virtualMeter).empty() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_FALSE(HostWrites(*virtualMeter).empty());
  EXPECT_EQ(mlink_close(meter), MLINK_OK);
  // Closed for every new call at once.
  int32_t ok = 0;
  EXPECT_EQ(mlink_battery(meter, &ok), MLINK_ERR_INVALID_HANDLE);
  EXPECT_EQ(mlink_close(meter), MLINK_ERR_INVALID_HANDLE);
  caller.join();

  EXPECT_EQ(commandResult, MLINK_OK);
  EXPECT_FALSE(reply.empty());
  EXPECT_EQ(Bus().OpenHandleCount(), 0);
  mlink_meter* again = nullptr;
  ASSERT_EQ(mlink_open("A12345678", &again), MLINK_OK);
  EXPECT_EQ(mlink_close(again), MLINK_OK);
}

}  // namespace
}  // namespace handletest
