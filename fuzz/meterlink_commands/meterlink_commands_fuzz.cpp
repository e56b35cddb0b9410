// Fuzz target: the input is everything one selected meter answers. Each
// command the host writes makes the meter's next answer come from the input:
// a read failure, silence, a healthy battery reply, "OK", a well-formed
// reply of the kind a query expects with fuzzed fields, or arbitrary bytes
// (in one or two blocks). Once the input is used up every read is idle, so
// each run ends.
//
// Every meter command export runs in each of its modes, with its records in
// exact-size heap blocks so the address sanitizer sees any access past them,
// and the records' texts are checked to stay NUL-terminated inside their
// fields.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "bus/pipe_endpoint.h"
#include "bus/sim_bus.h"
#include "fuzz_input.h"
#include "meter_commands.h"
#include "meterlink.h"
#include "meterlink_fuzz.h"
#include "sim_bus_setup.h"

namespace {

using InputStream = fuzzsupport::FuzzInput;

// Replies shaped like what the queries expect, with a fuzzed part, so the
// parsers behind the error mapping are reached often.
const char* const kShapes[] = {"+01310,ABS,OFF,AUTO,DB",
                               "1310,1.234",
                               "VANTOR,LX40,A12345678,100",
                               "+123453",
                               "-010509",
                               "H000000",
                               "N000009",
                               "ON",
                               "OFF",
                               "12"};

class FuzzMeter : public usbsim::PipeEndpoint {
 public:
  explicit FuzzMeter(InputStream& input) : input_(input) {}

  bool OnHostWrite(const uint8_t*, uint32_t) override {
    failNextRead_ = false;
    blocks_.clear();
    if (!identity_.empty()) {
      // "QPID" and "IDN" while the device table is built.
      blocks_.push_back(identity_.front());
      identity_.pop_front();
      return true;
    }
    if (input_.Empty()) return true;
    const uint8_t control = input_.Byte();
    switch (control % 8) {
      case 0:
        failNextRead_ = true;
        break;
      case 1:
        break;  // silence
      case 2:
        blocks_.push_back("BATERY_OK\r");
        break;
      case 3:
        blocks_.push_back("OK\r");
        break;
      case 4: {
        // A shape with a fuzzed tail or middle.
        std::string text = kShapes[input_.Byte() % (sizeof kShapes / sizeof kShapes[0])];
        const std::size_t cut = input_.Byte() % (text.size() + 1);
        text = text.substr(0, cut) + input_.Text(input_.Byte() % 24);
        blocks_.push_back(text + "\r");
        break;
      }
      default: {
        // Arbitrary bytes, up to 80 (more than one 64-byte read), maybe in
        // two blocks.
        std::string bytes = input_.Text(input_.Byte() % 81);
        if (control & 0x80 && bytes.size() > 1) {
          const std::size_t split = input_.Byte() % bytes.size();
          blocks_.push_back(bytes.substr(0, split));
          blocks_.push_back(bytes.substr(split));
        } else {
          blocks_.push_back(bytes);
        }
      }
    }
    return true;
  }

  bool OnHostRead(uint8_t* data, uint32_t size, uint32_t* done) override {
    *done = 0;
    if (failNextRead_) return false;
    if (blocks_.empty()) return true;
    std::string& block = blocks_.front();
    const std::size_t n = block.size() < size ? block.size() : size;
    std::memcpy(data, block.data(), n);
    *done = static_cast<uint32_t>(n);
    block.erase(0, n);
    if (block.empty()) blocks_.pop_front();
    return true;
  }

 private:
  InputStream& input_;
  std::deque<std::string> identity_{"LX40\r", "VANTOR,LX40,F00000001,100\r"};
  std::deque<std::string> blocks_;
  bool failNextRead_ = false;
};

template <typename T>
std::unique_ptr<T> Exact(const T& value) {
  return std::make_unique<T>(value);
}

void CheckText(const char* text, std::size_t size) {
  if (std::memchr(text, '\0', size) == nullptr) std::abort();
}

void DriveCommands(InputStream& input) {
  ResetAllData();
  ResetAllWave();
  SET_Rel0();

  auto idn = std::make_unique<IdnInfo>();
  std::memset(idn.get(), 'x', sizeof *idn);
  if (QUES_IDN(idn.get()) == MLINK_OK) {
    CheckText(idn->maker, sizeof idn->maker);
    CheckText(idn->model, sizeof idn->model);
    CheckText(idn->serial, sizeof idn->serial);
    CheckText(idn->version, sizeof idn->version);
  }

  auto sensor = std::make_unique<char[]>(MLINK_SENSOR_TEXT_SIZE);
  if (QUES_Sensor(sensor.get()) == MLINK_OK) CheckText(sensor.get(), MLINK_SENSOR_TEXT_SIZE);

  auto reading = Exact(Reading{0.0f, 9 + input.Byte() % 7});
  QUES_MeasData(reading.get());
  reading->unit = 9 + input.Byte() % 7;
  QUES_Rel(reading.get());
  *reading =
      Reading{static_cast<float>(static_cast<int8_t>(input.Byte())) * 0.37f, 9 + input.Byte() % 6};
  SET_Rel1(reading.get());

  auto waves = std::make_unique<WaveEntry[]>(MLINK_WAVE_LIST_SIZE);
  QUES_AllWave(waves.get());

  auto wave = Exact(WaveEntry{1310, 1.234f});
  SQ_Wave(1, wave.get());
  SQ_Wave(0, wave.get());

  auto mode = Exact(ModeSettings{1310, 2, 3, 8, 9});
  SQ_Mode(1, mode.get());
  SQ_Mode(0, mode.get());  // whatever the query stored: refused or sent

  auto number = Exact(int32_t{10});
  SQ_Ave(1, number.get());
  SQ_Ave(0, number.get());
  SQ_Range(1, number.get());
  SQ_Range(0, number.get());
  SQ_Aps(1, number.get());
  SQ_Aps(0, number.get());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  InputStream input(data, size);
  const fuzzsupport::InputBus input_bus;
  // Identification is scripted; only the meter commands take fuzzed replies.
  sim_setup::PlugMeterDevice(input_bus.root(), 1, u"F00000001", std::make_shared<FuzzMeter>(input));

  if (OpenAllDevice() == MLINK_OK) {
    char serial[16] = "F00000001";
    if (SelectOneDevice(serial) == MLINK_OK) DriveCommands(input);
    CloseAllDevice();
  }
  return 0;
}
