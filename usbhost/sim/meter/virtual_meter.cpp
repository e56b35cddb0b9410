#include "meter/virtual_meter.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace usbsim {

namespace {

constexpr std::string_view kCommandError = "CMD_ERR";

}  // namespace

// Marks one host call on the pipes, from its start to its end, whichever
// way it returns.
class HostCallScope {
 public:
  explicit HostCallScope(VirtualMeter& meter) : meter_(meter) { ++meter_.calls_in_progress_; }
  ~HostCallScope() {
    meter_.last_call_end_.store(std::chrono::steady_clock::now().time_since_epoch().count());
    --meter_.calls_in_progress_;
  }
  HostCallScope(const HostCallScope&) = delete;
  HostCallScope& operator=(const HostCallScope&) = delete;

 private:
  VirtualMeter& meter_;
};

// The command set of the meter. A command word not listed here is answered
// with "CMD_ERR".
const VirtualMeter::CommandEntry VirtualMeter::kCommands[] = {
    {"QPID", &VirtualMeter::OnQpid},
    {"IDN", &VirtualMeter::OnIdn},
    {"BTRY", &VirtualMeter::OnBtry},
    {"TEST", &VirtualMeter::OnTest},
    {"HOSEI", &VirtualMeter::OnHosei},
    {"RESET_USBLX40", &VirtualMeter::OnResetUsb},
    {"GET_MODE", &VirtualMeter::OnGetMode},
    {"GET_WAVELEN", &VirtualMeter::OnGetWavelength},
    {"GET_REL", &VirtualMeter::OnGetRel},
    {"GET_RANGE", &VirtualMeter::OnGetRange},
    {"GET_AVE", &VirtualMeter::OnGetAve},
    {"GET_SENSER", &VirtualMeter::OnGetSensor},
    {"GET_MESRDATA", &VirtualMeter::OnGetMeasurement},
    {"SET_MODE", &VirtualMeter::OnSetMode},
    {"SET_WAVELEN", &VirtualMeter::OnSetWavelength},
    {"SET_REL0", &VirtualMeter::OnSetRel0},
    {"SET_REL1", &VirtualMeter::OnSetRel1},
    {"SET_RANGE", &VirtualMeter::OnSetRange},
    {"SET_AVE", &VirtualMeter::OnSetAve},
    {"RESET_WVLEN", &VirtualMeter::OnResetWavelengths},
    {"RESET_SETDATA", &VirtualMeter::OnResetSettings},
    {"GET_APS", &VirtualMeter::OnGetAps},
    {"SET_APS", &VirtualMeter::OnSetAps},
};

VirtualMeter::VirtualMeter(MeterConfig config)
    : config_(std::move(config)),
      filled_(config_.slots_filled),
      settings_(config_.settings),
      wave_list_(config_.wave_list),
      last_call_end_(std::chrono::steady_clock::now().time_since_epoch().count()) {}

const VirtualMeter::CommandEntry* VirtualMeter::FindCommand(std::string_view word) {
  for (const CommandEntry& entry : kCommands) {
    if (entry.word == word) return &entry;
  }
  return nullptr;
}

bool VirtualMeter::IsCommandDuringLoad(std::string_view write) const {
  if (write.size() < 2 || write.find('\n') != write.size() - 1) return false;
  const std::string_view text = write.substr(0, write.size() - 1);
  return IsPrintableText(text) && FindCommand(SplitCommandLine(text).word) != nullptr;
}

bool VirtualMeter::OnHostWrite(const uint8_t* data, uint32_t size) {
  const HostCallScope call(*this);
  std::unique_lock<std::mutex> lock(mutex_);
  if (unplugged_ || (data == nullptr && size > 0)) return false;
  ++exchanges_;
  const MeterFaults& faults = config_.faults;
  if (faults.unplug_at > 0 && exchanges_ >= faults.unplug_at) {
    unplugged_ = true;
    receiver_.Abort();
    outbox_.clear();
    end_read_owed_ = false;
    const std::function<void()> handler = std::move(unplug_handler_);
    lock.unlock();
    wake_.notify_all();
    if (handler) handler();
    return false;
  }
  Record(Direction::kHostToMeter, data, size);
  if (faults.silent_from > 0 && exchanges_ >= faults.silent_from) return true;
  if (HungLocked()) return true;  // taken, never answered: reads run into the limit

  const std::string_view write(reinterpret_cast<const char*>(data), size);
  const size_t line_end = write.find('\n');
  const bool is_command =
      line_end != std::string_view::npos && (!receiver_.Active() || IsCommandDuringLoad(write));
  if (is_command) {
    const std::string_view text = write.substr(0, line_end);
    QueueAnswer(RunCommand(text), SplitCommandLine(text).word);
  } else if (receiver_.Active()) {
    QueueAnswer(RunLoadBytes(data, size), {});
  } else if (size > 0) {
    QueueAnswer(std::string(1, static_cast<char>(kNak)), {});
  }
  return true;
}

std::string VirtualMeter::RunCommand(std::string_view text) {
  receiver_.Abort();  // a command line ends any unfinished load
  const CommandLine line = SplitCommandLine(text);
  const auto& errors = config_.faults.error_replies;
  const auto error = errors.find(std::string(line.word));
  if (error != errors.end()) return TextReply(error->second);
  const CommandEntry* command = FindCommand(line.word);
  if (command == nullptr) return TextReply(kCommandError);
  return (this->*(command->handler))(line);
}

std::string VirtualMeter::RunLoadBytes(const uint8_t* data, uint32_t size) {
  std::string answer;
  for (uint32_t i = 0; i < size && receiver_.Active(); ++i) {
    std::optional<ReceivedTable> table = receiver_.Feed(data[i], answer);
    if (table) {
      const auto slot = static_cast<size_t>(table->slot);
      filled_[slot] = true;
      stored_[slot] = std::move(table->bytes);
    }
  }
  return answer;
}

void VirtualMeter::QueueAnswer(std::string bytes, std::string_view command_word) {
  if (bytes.empty()) return;  // the write completed nothing that is answered
  Answer answer;
  if (!command_word.empty()) {
    const std::string word(command_word);
    const MeterFaults& faults = config_.faults;
    const bool ends_in_cr = bytes.back() == static_cast<char>(kCarriageReturn);
    if (faults.long_reply.count(word) != 0) {
      const size_t text_size = bytes.size() - (ends_in_cr ? 1 : 0);
      if (text_size < kLongReplyTextSize) {
        bytes.insert(text_size, kLongReplyTextSize - text_size, '*');
      }
    }
    if (faults.no_cr.count(word) != 0 && ends_in_cr) bytes.pop_back();
    const auto split = faults.split_reply.find(word);
    if (split != faults.split_reply.end()) answer.block_limit = split->second;
  }
  if (bytes.empty() || outbox_.size() >= kMaxQueuedAnswers) return;
  answer.bytes = std::move(bytes);
  outbox_.push_back(std::move(answer));
}

bool VirtualMeter::OnHostRead(uint8_t* data, uint32_t size, uint32_t* done) {
  if (done == nullptr) return false;
  *done = 0;
  const HostCallScope call(*this);
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (unplugged_ || (data == nullptr && size > 0)) return false;
    if (size == 0) return true;
    if (HungLocked()) {
      // The read stays pending until the driver gives up on it.
      WaitLocked(lock, config_.read_limit);
      return !unplugged_;
    }
    if (end_read_owed_) {
      end_read_owed_ = false;
      return true;
    }
    if (outbox_.empty()) return true;
    Answer& answer = outbox_.front();
    if (answer.offset == 0 && !answer.latency_left) answer.latency_left = config_.latency;
    if (answer.offset == 0 && answer.latency_left->count() > 0) {
      // The meter takes its time before it starts to answer; a read that
      // would wait past the read limit ends idle there and the rest of the
      // latency falls on the next read.
      const std::chrono::microseconds limit = config_.read_limit;
      const bool beyond_limit = *answer.latency_left > limit;
      const std::chrono::microseconds waited =
          WaitLocked(lock, beyond_limit ? limit : *answer.latency_left);
      if (unplugged_) return false;
      if (outbox_.empty()) return true;  // the state changed meanwhile
      Answer& waiting = outbox_.front();
      if (waiting.latency_left) {
        waiting.latency_left =
            std::max(std::chrono::microseconds(0), *waiting.latency_left - waited);
      }
      if (beyond_limit) return true;
      continue;  // the state may have changed (reconfigured)
    }
    size_t block = std::min<size_t>(size, answer.bytes.size() - answer.offset);
    if (answer.block_limit > 0) block = std::min<size_t>(block, answer.block_limit);
    std::memcpy(data, answer.bytes.data() + answer.offset, block);
    Record(Direction::kMeterToHost, data, block);
    answer.offset += block;
    *done = static_cast<uint32_t>(block);
    if (answer.offset == answer.bytes.size()) {
      outbox_.pop_front();
      end_read_owed_ = !outbox_.empty();
    }
    return true;
  }
}

bool VirtualMeter::HungLocked() const {
  const int hang_from = config_.faults.hang_from;
  return hang_from > 0 && exchanges_ >= hang_from;
}

std::chrono::microseconds VirtualMeter::WaitLocked(std::unique_lock<std::mutex>& lock,
                                                   std::chrono::microseconds time) {
  const auto start = std::chrono::steady_clock::now();
  wake_.wait_for(lock, time, [this] { return unplugged_; });
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                               start);
}

void VirtualMeter::Record(Direction direction, const uint8_t* data, size_t size) {
  if (transcript_.size() >= kMaxTranscriptEntries) transcript_.pop_front();
  transcript_.push_back({direction, std::vector<uint8_t>(data, data + size)});
}

// --- Commands ---------------------------------------------------------------

std::string VirtualMeter::OnQpid(const CommandLine& line) {
  if (line.has_params) return TextReply(kCommandError);
  return TextReply(config_.model);
}

std::string VirtualMeter::OnIdn(const CommandLine& line) {
  if (line.has_params) return TextReply(kCommandError);
  return TextReply(config_.maker + "," + config_.model + "," + config_.serial + "," +
                   config_.version);
}

std::string VirtualMeter::OnBtry(const CommandLine& line) {
  if (line.has_params) return TextReply(kCommandError);
  return TextReply(config_.battery_low ? "BATERY_LO" : "BATERY_OK");
}

std::string VirtualMeter::OnTest(const CommandLine& line) {
  if (line.has_params) return TextReply(kCommandError);
  std::string text = "TEST:";
  for (const bool filled : filled_) text.push_back(filled ? '1' : '0');
  return TextReply(text);
}

std::string VirtualMeter::OnHosei(const CommandLine& line) {
  if (line.has_params) return TextReply(kCommandError);
  const MeterFaults& faults = config_.faults;
  receiver_.Start(LoadFaults{faults.wrong_echo_at, faults.nak_header, faults.nak_trailer});
  return std::string(1, static_cast<char>(kAck));
}

std::string VirtualMeter::OnResetUsb(const CommandLine& line) {
  if (line.has_params) return TextReply(kCommandError);
  // The host compares this answer with the model string, as after "QPID".
  return TextReply(config_.model);
}

// --- Observation and changes --------------------------------------------------

std::vector<VirtualMeter::TranscriptEntry> VirtualMeter::Transcript() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return {transcript_.begin(), transcript_.end()};
}

void VirtualMeter::ClearTranscript() {
  std::lock_guard<std::mutex> lock(mutex_);
  transcript_.clear();
}

std::optional<std::vector<uint8_t>> VirtualMeter::SlotContent(int slot) const {
  if (slot < 0 || slot >= kMeterSlotCount) return std::nullopt;
  std::lock_guard<std::mutex> lock(mutex_);
  return stored_[static_cast<size_t>(slot)];
}

bool VirtualMeter::SlotFilled(int slot) const {
  if (slot < 0 || slot >= kMeterSlotCount) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  return filled_[static_cast<size_t>(slot)];
}

int VirtualMeter::ExchangeCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return exchanges_;
}

bool VirtualMeter::Unplugged() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return unplugged_;
}

bool VirtualMeter::Hung() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return HungLocked();
}

bool VirtualMeter::LoadInProgress() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return receiver_.Active();
}

std::optional<std::chrono::steady_clock::time_point> VirtualMeter::QuietSince() const {
  // A call ends by storing its end and then leaving the count: a call that
  // ends between these reads is seen as running, never as an older end.
  if (calls_in_progress_.load() > 0) return std::nullopt;
  const auto end = last_call_end_.load();
  if (calls_in_progress_.load() > 0) return std::nullopt;
  return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(end));
}

MeterConfig VirtualMeter::Config() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return config_;
}

void VirtualMeter::SetFaults(MeterFaults faults) {
  std::lock_guard<std::mutex> lock(mutex_);
  config_.faults = std::move(faults);
}

void VirtualMeter::SetBatteryLow(bool low) {
  std::lock_guard<std::mutex> lock(mutex_);
  config_.battery_low = low;
}

void VirtualMeter::SetLatency(std::chrono::microseconds latency) {
  std::lock_guard<std::mutex> lock(mutex_);
  config_.latency = latency;
}

void VirtualMeter::SetReadLimit(std::chrono::milliseconds limit) {
  std::lock_guard<std::mutex> lock(mutex_);
  config_.read_limit = std::max(std::chrono::milliseconds(1), limit);
}

MeterSettings VirtualMeter::Settings() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return settings_;
}

WaveList VirtualMeter::WaveListNow() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return wave_list_;
}

void VirtualMeter::SetOpticalInput(double power_mw, int32_t wavelength_nm) {
  std::lock_guard<std::mutex> lock(mutex_);
  config_.input = OpticalInput{power_mw, wavelength_nm};
}

void VirtualMeter::SetSensor(SensorConfig sensor) {
  std::lock_guard<std::mutex> lock(mutex_);
  config_.sensor = std::move(sensor);
}

void VirtualMeter::PlugBackIn() {
  std::lock_guard<std::mutex> lock(mutex_);
  unplugged_ = false;
  receiver_.Abort();
  outbox_.clear();
  end_read_owed_ = false;
  config_.faults.silent_from = 0;
  config_.faults.hang_from = 0;
  config_.faults.unplug_at = 0;
}

void VirtualMeter::SetUnplugHandler(std::function<void()> handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  unplug_handler_ = std::move(handler);
}

}  // namespace usbsim
