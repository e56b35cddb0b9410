// One text exchange ("BTRY") and one handshake byte (send, receive, take)
// through Meterlink, each beside the same traffic done with bare
// usbhost_write/usbhost_read calls on the same simulated pipes. The meter
// answers at once, so the difference is Meterlink's own cost.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "bulkpipe.h"
#include "bus/pipe_endpoint.h"
#include "bus/sim_bus.h"
#include "meterlink.h"
#include "sim_bus_setup.h"
#include "usbhost.h"

namespace {

// Answers each write with one block: the identification replies, the
// battery reply, or the written bytes themselves (the echo of a handshake
// byte). Single-threaded use only.
class InstantMeter : public usbsim::PipeEndpoint {
 public:
  bool OnHostWrite(const uint8_t* data, uint32_t size) override {
    const std::string written(reinterpret_cast<const char*>(data), size);
    if (written == "QPID\n") {
      answer_ = "LX40\r\n";
    } else if (written == "IDN\n") {
      answer_ = "VANTOR,LX40,A12345678,1.00\r\n";
    } else if (written == "BTRY\n") {
      answer_ = "BATERY_OK\r\n";
    } else {
      answer_ = written;
    }
    return true;
  }
  bool OnHostRead(uint8_t* data, uint32_t size, uint32_t* done) override {
    const std::size_t n = answer_.size() < size ? answer_.size() : size;
    std::memcpy(data, answer_.data(), n);
    answer_.clear();
    *done = static_cast<uint32_t>(n);
    return true;
  }

 private:
  std::string answer_;
};

// One meter on the bus, Meterlink's table open and the meter selected, and a
// second, bare pair of handles on the same pipes.
class Stack {
 public:
  Stack() {
    sim_setup::PlugMeterDevice(sim_setup::EmptyBusWithRootHub(1), 1, u"A12345678",
                               std::make_shared<InstantMeter>());
    char serial[16] = "A12345678";
    if (OpenAllDevice() != MLINK_OK || SelectOneDevice(serial) != MLINK_OK) std::abort();
    command_ = OpenUSBBulkFile(0, 0);
    reply_ = OpenUSBBulkFile(1, 0);
    if (command_ == USBHOST_INVALID || reply_ == USBHOST_INVALID) std::abort();
  }
  ~Stack() {
    usbhost_close(command_);
    usbhost_close(reply_);
    CloseAllDevice();
    usbsim::Bus::Instance().Reset();
  }
  usbhost_handle command() const { return command_; }
  usbhost_handle reply() const { return reply_; }

 private:
  usbhost_handle command_ = USBHOST_INVALID;
  usbhost_handle reply_ = USBHOST_INVALID;
};

// Reads blocks until the idle read, as a reply is read.
uint32_t ReadUntilIdle(usbhost_handle reply, uint8_t* block) {
  uint32_t last = 0;
  for (;;) {
    uint32_t done = 0;
    if (!usbhost_read(reply, block, 64, &done)) std::abort();
    if (done == 0) return last;
    last = done;
  }
}

void BM_Meterlink_TextExchange(benchmark::State& state) {
  Stack stack;
  char reply[64];
  for (auto _ : state) {
    if (USBComd_SendRecv("BTRY", reply) != MLINK_OK) std::abort();
    benchmark::DoNotOptimize(reply);
  }
}
BENCHMARK(BM_Meterlink_TextExchange);

void BM_Bare_TextExchange(benchmark::State& state) {
  Stack stack;
  uint8_t block[100];
  for (auto _ : state) {
    uint32_t written = 0;
    if (!usbhost_write(stack.command(), "BTRY\n", 5, &written)) std::abort();
    benchmark::DoNotOptimize(ReadUntilIdle(stack.reply(), block));
  }
}
BENCHMARK(BM_Bare_TextExchange);

void BM_Meterlink_HandshakeByte(benchmark::State& state) {
  Stack stack;
  uint8_t byte = 0;
  for (auto _ : state) {
    if (sendUSBBin(0x55) != MLINK_OK) std::abort();
    if (recvUSBBin(nullptr) != MLINK_OK) std::abort();
    if (recvUSBBin(&byte) != MLINK_OK || byte != 0x55) std::abort();
  }
}
BENCHMARK(BM_Meterlink_HandshakeByte);

void BM_Bare_HandshakeByte(benchmark::State& state) {
  Stack stack;
  const uint8_t out = 0x55;
  uint8_t block[64];
  for (auto _ : state) {
    uint32_t written = 0;
    if (!usbhost_write(stack.command(), &out, 1, &written)) std::abort();
    if (ReadUntilIdle(stack.reply(), block) != 1 || block[0] != 0x55) std::abort();
  }
}
BENCHMARK(BM_Bare_HandshakeByte);

}  // namespace
