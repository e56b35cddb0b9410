// The virtual LX40 meter: a firmware model behind the two bulk pipes of a
// simulated device. Every host write on the command pipe is one exchange
// and gets exactly one answer, which the host reads from the reply pipe in
// blocks of at most the size it asks for; once the answer is out, a read
// completes with 0 bytes (the idle read), at once and never blocking. A read
// never waits longer than the read limit: a meter that is slower than that
// (latency) or hung (the hang fault) gives an idle read at the limit, as the
// Windows driver ends a pending read.
//
// Framing: a write that contains an LF is a command line (text up to the
// first LF; text replies end in CR). A write without one is binary and only
// means something during a sensor data load. While a load runs, a write is
// taken as a command only if it ends in its first LF and names a command
// this meter knows, so that load bytes that happen to be 0x0A stay data; such
// a command ends the load. Binary bytes outside a load are answered with NAK.
// Load bytes are a stream: a write is answered with the answers of every
// unit (header byte, handshake, record, trailer) it completes, in order, and
// a write that completes none is answered with nothing.
//
// Thread-safe: the host may talk from one thread while a test observes or
// reconfigures the meter from another.
#ifndef LX40_USBHOST_SIM_METER_VIRTUAL_METER_H
#define LX40_USBHOST_SIM_METER_VIRTUAL_METER_H

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bus/pipe_endpoint.h"
#include "meter/meter_config.h"
#include "meter/meter_text.h"
#include "meter/table_receiver.h"

namespace usbsim {

class VirtualMeter : public PipeEndpoint {
 public:
  enum class Direction { kHostToMeter, kMeterToHost };
  // One host write, or one non-empty block delivered to the host.
  struct TranscriptEntry {
    Direction direction;
    std::vector<uint8_t> bytes;
    bool operator==(const TranscriptEntry&) const = default;
  };
  // The transcript keeps the newest entries up to this count.
  static constexpr size_t kMaxTranscriptEntries = 1 << 16;
  // Answers the host has not read yet, at most (further ones are lost, as
  // in a full output buffer).
  static constexpr size_t kMaxQueuedAnswers = 16;
  // Text length of an answer padded by the long_reply fault.
  static constexpr size_t kLongReplyTextSize = 100;

  explicit VirtualMeter(MeterConfig config);

  bool OnHostWrite(const uint8_t* data, uint32_t size) override;
  bool OnHostRead(uint8_t* data, uint32_t size, uint32_t* done) override;

  // --- Observation -------------------------------------------------------
  std::vector<TranscriptEntry> Transcript() const;
  void ClearTranscript();
  // The table stored in the slot by a successful load; nullopt when nothing
  // was loaded into it (also for a slot that was filled at power-on).
  std::optional<std::vector<uint8_t>> SlotContent(int slot) const;
  // What "TEST" reports for the slot: filled at power-on or loaded since.
  bool SlotFilled(int slot) const;
  // Host transmissions so far (the one that unplugged the meter included).
  int ExchangeCount() const;
  bool Unplugged() const;
  // The hang fault has struck: reads no longer complete.
  bool Hung() const;
  bool LoadInProgress() const;
  MeterConfig Config() const;
  // When the host last called on the meter's pipes (a write or a read, at
  // its end); nullopt while a call is in progress. A meter never called on
  // gives the time it was built.
  std::optional<std::chrono::steady_clock::time_point> QuietSince() const;
  // The measurement settings and the wavelength list as they stand now.
  MeterSettings Settings() const;
  WaveList WaveListNow() const;

  // --- Changes while running ---------------------------------------------
  void SetFaults(MeterFaults faults);
  void SetBatteryLow(bool low);
  void SetLatency(std::chrono::microseconds latency);
  void SetReadLimit(std::chrono::milliseconds limit);
  // The meter back in after being pulled out, as after a power cycle: the
  // slots keep what they hold, an unfinished load and unread answers are
  // gone, and the faults that strike from an exchange on (silent_from,
  // hang_from, unplug_at) are cleared. The caller puts it back on the bus.
  void PlugBackIn();
  // Called once, outside the meter's lock, when the unplug fault strikes
  // (AttachMeter uses it to take the device off the bus as well).
  void SetUnplugHandler(std::function<void()> handler);
  // The light on the sensor: its power in mW and its wavelength in nm.
  void SetOpticalInput(double power_mw, int32_t wavelength_nm);
  void SetSensor(SensorConfig sensor);

 private:
  struct Answer {
    std::string bytes;
    uint32_t block_limit = 0;  // 0: as large as the host's read
    size_t offset = 0;         // bytes already delivered
    // Latency still to wait before the first block; nullopt until the first
    // read of this answer starts the clock.
    std::optional<std::chrono::microseconds> latency_left;
  };
  using Handler = std::string (VirtualMeter::*)(const CommandLine&);
  struct CommandEntry {
    std::string_view word;
    Handler handler;
  };
  // The command set, one row per command word.
  static const CommandEntry kCommands[];

  static const CommandEntry* FindCommand(std::string_view word);
  bool IsCommandDuringLoad(std::string_view write) const;

  std::string RunCommand(std::string_view text);
  std::string RunLoadBytes(const uint8_t* data, uint32_t size);
  void QueueAnswer(std::string bytes, std::string_view command_word);
  void Record(Direction direction, const uint8_t* data, size_t size);
  bool HungLocked() const;
  // Waits up to `time` with the lock released meanwhile; returns early when
  // the meter is unplugged. Returns the time actually waited.
  std::chrono::microseconds WaitLocked(std::unique_lock<std::mutex>& lock,
                                       std::chrono::microseconds time);

  std::string OnQpid(const CommandLine& line);
  std::string OnIdn(const CommandLine& line);
  std::string OnBtry(const CommandLine& line);
  std::string OnTest(const CommandLine& line);
  std::string OnHosei(const CommandLine& line);
  std::string OnResetUsb(const CommandLine& line);
  // Measurement and settings (virtual_meter_settings.cpp).
  std::string OnGetMode(const CommandLine& line);
  std::string OnSetMode(const CommandLine& line);
  std::string OnGetWavelength(const CommandLine& line);
  std::string OnSetWavelength(const CommandLine& line);
  std::string OnGetRel(const CommandLine& line);
  std::string OnSetRel0(const CommandLine& line);
  std::string OnSetRel1(const CommandLine& line);
  std::string OnGetRange(const CommandLine& line);
  std::string OnSetRange(const CommandLine& line);
  std::string OnGetAve(const CommandLine& line);
  std::string OnSetAve(const CommandLine& line);
  std::string OnGetSensor(const CommandLine& line);
  std::string OnGetMeasurement(const CommandLine& line);
  std::string OnResetWavelengths(const CommandLine& line);
  std::string OnResetSettings(const CommandLine& line);
  std::string OnGetAps(const CommandLine& line);
  std::string OnSetAps(const CommandLine& line);
  // The input as the meter displays it now, before the hold function.
  Measurement MeasureNow() const;

  mutable std::mutex mutex_;
  std::condition_variable wake_;  // ends a waiting read early (unplug)
  MeterConfig config_;
  std::array<bool, kMeterSlotCount> filled_{};
  std::array<std::optional<std::vector<uint8_t>>, kMeterSlotCount> stored_;
  TableReceiver receiver_;
  MeterSettings settings_;
  WaveList wave_list_;
  HoldState hold_;
  std::deque<Answer> outbox_;
  bool end_read_owed_ = false;  // an answer just ended and another one waits
  int exchanges_ = 0;
  bool unplugged_ = false;
  std::function<void()> unplug_handler_;
  std::deque<TranscriptEntry> transcript_;
  // Kept outside the lock: a read may wait with the lock released.
  std::atomic<int> calls_in_progress_{0};
  std::atomic<std::chrono::steady_clock::rep> last_call_end_;
  friend class HostCallScope;
};

}  // namespace usbsim

#endif
