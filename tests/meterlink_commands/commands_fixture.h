// Shared pieces of the meter command tests: the caller's records in one
// block (so "record unchanged" is one byte comparison), and the scripted
// meter with a healthy battery.
#ifndef LX40_TESTS_METERLINK_COMMANDS_COMMANDS_FIXTURE_H
#define LX40_TESTS_METERLINK_COMMANDS_COMMANDS_FIXTURE_H

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "meter_bus.h"
#include "meter_commands.h"
#include "meterlink.h"

namespace cmdtest {

// Every record an export may read or write, with values the set commands
// accept. Built from zeroed memory so two copies compare byte for byte.
struct Records {
  Reading reading;
  WaveEntry waves[MLINK_WAVE_LIST_SIZE];
  WaveEntry wave;
  ModeSettings mode;
  IdnInfo idn;
  char sensor[MLINK_SENSOR_TEXT_SIZE];
  int32_t number;
  int32_t aps;

  static Records Make() {
    Records r;
    std::memset(&r, 0, sizeof r);
    r.reading = {1.5f, 11};
    for (int i = 0; i < MLINK_WAVE_LIST_SIZE; ++i) r.waves[i] = {-7 - i, -7.5f};
    r.wave = {1310, 1.234f};
    r.mode = {1310, 2, 3, 8, 9};
    std::memset(&r.idn, 'x', sizeof r.idn);
    std::memset(r.sensor, 's', sizeof r.sensor);
    r.number = 10;
    r.aps = 1;
    return r;
  }
  bool operator==(const Records& other) const {
    return std::memcmp(this, &other, sizeof *this) == 0;
  }
};

// One call of one export on the records.
struct ExportCall {
  const char* name;
  std::function<int32_t(Records&)> call;
  const char* command;  // the command text it sends (the first one for QUES_AllWave)
};

class ScriptedCommandTest : public mltest::MeterBusTest {
 protected:
  void SetUp() override {
    MeterBusTest::SetUp();
    meter_ = SelectedMeter();
  }
  // The battery check answers "BATERY_OK", the command `reply` (with CR).
  void Answer(const std::string& reply) {
    meter_->QueueText("BATERY_OK\r");
    meter_->QueueText(reply + "\r");
  }
  std::vector<std::string> Sent() const { return meter_->WrittenTexts(); }

  std::shared_ptr<mltest::ScriptedEndpoint> meter_;
};

}  // namespace cmdtest

#endif
