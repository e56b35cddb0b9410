// What one virtual LX40 meter is: its identity, its state at power-on and
// the ways it can be told to misbehave. Plain values, copied into the meter
// when it is built.
#ifndef LX40_USBHOST_SIM_METER_METER_CONFIG_H
#define LX40_USBHOST_SIM_METER_METER_CONFIG_H

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "meter/meter_measurement.h"
#include "meter/meter_settings.h"

namespace usbsim {

// The meter has seven sensor data slots, numbered 0 to 6.
inline constexpr int kMeterSlotCount = 7;

// The Windows layer ends a read still pending after 2 s as an idle read.
inline constexpr std::chrono::milliseconds kDefaultReadLimit{2000};

// Deliberate misbehaviour. Exchanges are the host's transmissions on the
// command pipe (one write each), numbered from 1 since the meter was built.
// Command words are compared whole and case-sensitively, as the meter does.
struct MeterFaults {
  // 0..15: the echo of this header byte of a load is wrong (the byte with
  // every bit flipped). -1: every echo is right.
  int wrong_echo_at = -1;
  // Answer NAK (0x15) instead of 0x55 to the first 0x55 after the header.
  bool nak_header = false;
  // Answer NAK to the trailer even when the table is good; nothing is stored.
  bool nak_trailer = false;
  // >= 1: from this exchange on the meter still takes every write but never
  // answers again (reads give 0 bytes). 0: never silent.
  int silent_from = 0;
  // >= 1: from this exchange on the meter hangs: it still takes every write
  // but never completes a read again, so each read runs into the read limit
  // and ends as an idle read (success, 0 bytes). 0: never hangs.
  int hang_from = 0;
  // >= 1: at this exchange the meter is pulled out: that write and every
  // later write and read fail. 0: never.
  int unplug_at = 0;
  // > 0: a meter pulled out by unplug_at is plugged back into its port this
  // long afterwards (seen by the first host call from then on), as after a
  // power cycle: see VirtualMeter::PlugBackIn. 0: it stays out.
  std::chrono::milliseconds replug_after{0};
  // Command word -> keyword the meter answers instead (for example
  // "BTRY" -> "MEM_ERR"). The command itself is not carried out.
  std::map<std::string, std::string> error_replies;
  // Command words whose answer goes out without its final CR.
  std::set<std::string> no_cr;
  // Command words whose answer is padded to more than one 64-byte block.
  std::set<std::string> long_reply;
  // Command word -> block size: the answer is delivered in blocks of at
  // most that many bytes (>= 1), so it spans several reads.
  std::map<std::string, uint32_t> split_reply;
};

struct MeterConfig {
  std::string serial = "A12345678";
  std::string model = "LX40";                        // the answer to "QPID" and field 2 of "IDN"
  std::string maker = "Vantor";                      // field 1 of "IDN"
  std::string version = "100";                       // field 4 of "IDN": three digits, 100 = 1.00
  bool battery_low = false;                          // "BTRY" answers "BATERY_LO"
  std::array<bool, kMeterSlotCount> slots_filled{};  // slot i holds data at power-on
  // Time the meter takes before the first block of each answer.
  std::chrono::microseconds latency{0};
  // How long a read waits for the meter before it ends as an idle read
  // (success, 0 bytes), as the Windows driver's pipe timeout does. Tests
  // shorten it; a latency longer than this splits into idle reads.
  std::chrono::milliseconds read_limit{kDefaultReadLimit};
  MeterFaults faults;
  // The measurement settings at power-on; "RESET_SETDATA" returns to them.
  MeterSettings settings;
  // The wavelength list at power-on; "RESET_WVLEN" returns to it.
  WaveList wave_list = DefaultWaveList();
  SensorConfig sensor;
  // The light on the sensor.
  OpticalInput input;
};

}  // namespace usbsim

#endif
