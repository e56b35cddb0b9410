// Fuzz target: the input is everything the attached devices send. Each read
// on a reply pipe (and each write's outcome) is decided by the next input
// bytes: a failure, an idle read, a canned reply that gets past the model
// check, or a block of arbitrary bytes and size. Once the input is used up
// every read is idle and every write succeeds, so each run ends.
//
// Driven, one interface per input: either the ordinal interface (building
// the device table, the serial walk and selection, text exchanges with the
// battery check and error mapping, raw receives and takes past the end of
// what arrived, the USB reset, and closing) or the handle API (enumeration,
// opening, text commands and whole-answer receives into exact-size buffers
// of any size, the slot query, and a table load against whatever the device
// answers). Afterwards no handle may stay open.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bus/pipe_endpoint.h"
#include "bus/sim_bus.h"
#include "device_table.h"
#include "exchange.h"
#include "fuzz_input.h"
#include "meterlink.h"
#include "meterlink_fuzz.h"
#include "mlink.h"
#include "sim_bus_setup.h"
#include "table_check.h"

namespace {

using InputStream = fuzzsupport::FuzzInput;

class FuzzEndpoint : public usbsim::PipeEndpoint {
 public:
  explicit FuzzEndpoint(InputStream& input) : input_(input) {}

  bool OnHostWrite(const uint8_t*, uint32_t) override {
    return input_.Empty() || input_.Byte() % 16 != 0;
  }

  bool OnHostRead(uint8_t* data, uint32_t size, uint32_t* done) override {
    *done = 0;
    if (input_.Empty()) return true;
    const uint8_t control = input_.Byte();
    switch (control % 8) {
      case 0:
        return false;
      case 1:
        return true;  // idle
      case 2:
        return Serve("LX40\r", data, size, done);
      case 3: {
        // An identification with a serial of arbitrary bytes.
        std::string idn = "VANTOR,LX40,";
        uint8_t serial[16];
        const std::size_t n = input_.Take(serial, input_.Byte() % sizeof serial);
        idn.append(reinterpret_cast<const char*>(serial), n);
        idn += "\r\n";
        return Serve(idn, data, size, done);
      }
      default: {
        // A block of any size up to twice what was asked: a device may
        // report more than the read could hold; the transport cuts it.
        const std::size_t wanted = input_.Byte() % (2 * size + 1);
        block_.resize(wanted);  // capacity kept: no allocation per read
        const std::size_t n = input_.Take(block_.data(), wanted);
        const std::size_t delivered = n < size ? n : size;
        if (delivered > 0) std::memcpy(data, block_.data(), delivered);
        *done = static_cast<uint32_t>(delivered);
        return true;
      }
    }
  }

 private:
  static bool Serve(const std::string& text, uint8_t* data, uint32_t size, uint32_t* done) {
    const std::size_t n = text.size() < size ? text.size() : size;
    std::memcpy(data, text.data(), n);
    *done = static_cast<uint32_t>(n);
    return true;
  }

  InputStream& input_;  // shared by all devices: one stream decides everything
  std::vector<uint8_t> block_;
};

// Caller buffers of the exact documented size, on the heap, so the address
// sanitizer sees any write past them.
struct ExactBuffer {
  explicit ExactBuffer(std::size_t size) : bytes(new char[size]()) {}
  std::unique_ptr<char[]> bytes;
  char* get() { return bytes.get(); }
};

void DriveSelectedMeter(InputStream& input) {
  ExactBuffer reply(64);
  USBComd_SendRecv("BTRY", reply.get());
  USBComd_SendRecv("TEST", reply.get());
  USBComd_SendRecv(nullptr, reply.get());
  USBComd_SendRecv("HOSEI", nullptr);
  meterlink::Meter& meter = meterlink::SelectedMeter();
  meterlink::CheckBattery(meter);
  meterlink::SendMeterCommand(meter, "GET_MODE", meter.reply_text(), input.Byte() & 1);

  uint8_t record[6] = {1, 2, 3, 4, 5, 6};
  sendUSBBin(input.Byte());
  sendUSBBytes(record, input.Byte());
  if (recvUSBBin(nullptr) == MLINK_OK) {
    // Takes beyond the 64 bytes a block can hold must stay in bounds.
    for (int i = 0; i < 70; ++i) {
      uint8_t byte = 0;
      if (recvUSBBin(&byte) != MLINK_OK) break;
    }
  }
}

// A well-formed table of two records for slot 1.
std::vector<uint8_t> SmallTable() {
  std::vector<uint8_t> table(16 + 2 * 6 + 2, 0);
  table[1] = static_cast<uint8_t>(table.size());
  table[3] = 2;
  table[5] = 1;
  const uint16_t crc = meterlink::TableCrc(table.data(), table.size() - 2);
  table[table.size() - 2] = static_cast<uint8_t>(crc >> 8);
  table[table.size() - 1] = static_cast<uint8_t>(crc & 0xFF);
  return table;
}

void DriveHandles(InputStream& input) {
  mlink_meter_info infos[4];
  std::size_t found = 0;
  if (mlink_enumerate(infos, 4, &found) != MLINK_OK) return;
  for (std::size_t i = 0; i < found && i < 4; ++i) {
    mlink_meter* meter = nullptr;
    if (mlink_open(infos[i].serial, &meter) != MLINK_OK) continue;
    const std::size_t replySize = input.Byte() % 70 + 1;
    ExactBuffer reply(replySize);
    mlink_command(meter, "GET_MODE", reply.get(), replySize, input.Byte() & 1);
    const std::size_t answerSize = input.Byte() % 80;
    ExactBuffer answer(answerSize + 1);
    std::size_t received = 0;
    mlink_receive(meter, answer.get(), answerSize, &received);
    uint8_t slots[MLINK_SLOT_COUNT];
    mlink_slots(meter, slots, sizeof slots);
    IdnInfo idn;
    mlink_identity(meter, &idn);
    const std::vector<uint8_t> table = SmallTable();
    int32_t rc = mlink_load_begin(meter, table.data(), table.size());
    for (int step = 0; rc == MLINK_OK && step < 10; ++step) rc = mlink_load_step(meter);
    mlink_close(meter);
  }
}

void DriveOrdinalInterface(InputStream& input, int devices) {
  if (OpenAllDevice() != MLINK_OK) return;
  int32_t count = 0;
  GetAllDeviceNum(&count);
  for (int i = 0; i <= devices; ++i) {
    ExactBuffer serial(12);
    if (GetAllDeviceSerialNo(serial.get()) != MLINK_OK) break;
    if (std::strcmp(serial.get(), "SN_END") == 0) break;
    if (SelectOneDevice(serial.get()) == MLINK_OK) DriveSelectedMeter(input);
  }
  ResetDeviceUSB();
  CloseAllDevice();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  InputStream input(data, size);
  const fuzzsupport::InputBus input_bus;
  usbsim::Bus& bus = input_bus.Bus();
  const int devices = input.Byte() % fuzzsupport::InputBus::kPorts + 1;
  for (int port = 1; port <= devices; ++port) {
    sim_setup::PlugMeterDevice(input_bus.root(), port,
                               u"F0000000" + std::u16string(1, static_cast<char16_t>(u'0' + port)),
                               std::make_shared<FuzzEndpoint>(input));
  }

  // One interface per input, chosen by the input: each walks the whole bus,
  // and doing both for every input would halve the inputs tried per second.
  if (input.Byte() % 2 == 0) {
    DriveOrdinalInterface(input, devices);
  } else {
    DriveHandles(input);
  }
  if (bus.OpenHandleCount() != 0) std::abort();  // a pipe was leaked
  // Nothing selected any more: exchanges fail without touching a device.
  if (sendUSBBin(0x55) != MLINK_RAW_FAILED) std::abort();
  return 0;
}
