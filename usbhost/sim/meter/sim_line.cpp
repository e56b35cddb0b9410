#include "meter/sim_line.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>

namespace usbsim {

namespace {

using Clock = std::chrono::steady_clock;

// The line looks at its ports at least this often, so a meter taken off the
// bus by someone else (a test, a hub pulled out) is noticed.
constexpr std::chrono::milliseconds kLongestSleep{200};
// While the host is in a call on a meter's pipes, the quiet time is looked
// at again this often.
constexpr std::chrono::milliseconds kBusyRecheck{10};

enum class PortStage { kPlugged, kPlugDue, kReplugDue, kDone };

struct PortState {
  NodeId hub = 0;
  int port = 0;
  std::vector<LineMeter> queue;
  size_t index = 0;  // the meter of the queue plugged now or next
  PortStage stage = PortStage::kPlugDue;
  Clock::time_point due{};  // for kPlugDue and kReplugDue
  DeviceId device = 0;      // for kPlugged
  Clock::time_point plugged_at{};
  bool replugged = false;  // the current meter came back once already
};

class Line {
 public:
  std::vector<AttachedMeter> Start(std::vector<LinePort> ports);
  void Stop(bool wait);
  DeviceId DeviceOf(const VirtualMeter* meter);
  uint64_t Changes();
  uint64_t WaitForChange(uint64_t seen, std::chrono::milliseconds limit);
  void Poke();

 private:
  void Run();
  // One look at a port: carries out what is due. Returns true when the
  // port changed; lowers `wake` to the time it must be looked at again.
  bool Step(PortState& port, Clock::time_point now, Clock::time_point& wake);
  void Advance(PortState& port, Clock::time_point now, Clock::time_point& wake);

  std::mutex mutex_;
  std::condition_variable work_;     // wakes the line's thread
  std::condition_variable changed_;  // wakes WaitForChange
  std::vector<PortState> ports_;
  bool stop_ = true;
  bool poked_ = false;
  uint64_t changes_ = 0;
  std::thread thread_;
};

// Never destroyed: the line's thread may still look at it while the
// process exits.
Line& TheLine() {
  static Line* line = new Line;
  return *line;
}

void HaltAtExit() { TheLine().Stop(false); }

std::vector<AttachedMeter> Line::Start(std::vector<LinePort> ports) {
  Stop(true);
  static std::once_flag at_exit;
  std::call_once(at_exit, [] { std::atexit(HaltAtExit); });

  std::vector<AttachedMeter> first;
  std::lock_guard lock(mutex_);
  ports_.clear();
  const Clock::time_point now = Clock::now();
  Clock::time_point wake = now;
  for (LinePort& port : ports) {
    PortState state;
    state.hub = port.hub;
    state.port = port.port;
    state.queue = std::move(port.queue);
    state.due = now;
    state.stage = state.queue.empty() ? PortStage::kDone : PortStage::kPlugDue;
    Step(state, now, wake);
    first.push_back(
        state.stage == PortStage::kPlugged
            ? AttachedMeter{state.device, state.queue.front().meter, state.hub, state.port}
            : AttachedMeter{0, state.queue.empty() ? nullptr : state.queue.front().meter, state.hub,
                            state.port});
    ports_.push_back(std::move(state));
  }
  ++changes_;
  stop_ = false;
  poked_ = false;
  thread_ = std::thread([this] { Run(); });
  return first;
}

void Line::Stop(bool wait) {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  work_.notify_all();
  if (!wait) {
    // At exit: the thread ends with the process; left unjoined but
    // attached it would count as a leaked thread.
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.detach();
    return;
  }
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
  std::lock_guard lock(mutex_);
  ports_.clear();
}

void Line::Poke() {
  {
    std::lock_guard lock(mutex_);
    poked_ = true;
  }
  work_.notify_all();
}

DeviceId Line::DeviceOf(const VirtualMeter* meter) {
  std::lock_guard lock(mutex_);
  for (const PortState& port : ports_) {
    if (port.stage == PortStage::kPlugged && port.index < port.queue.size() &&
        port.queue[port.index].meter.get() == meter) {
      return port.device;
    }
  }
  return 0;
}

uint64_t Line::Changes() {
  std::lock_guard lock(mutex_);
  return changes_;
}

uint64_t Line::WaitForChange(uint64_t seen, std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, limit, [&] { return changes_ > seen; });
  return changes_;
}

void Line::Run() {
  std::unique_lock lock(mutex_);
  while (!stop_) {
    const Clock::time_point now = Clock::now();
    Clock::time_point wake = now + kLongestSleep;
    bool changed = false;
    for (PortState& port : ports_) changed = Step(port, now, wake) || changed;
    if (changed) {
      ++changes_;
      changed_.notify_all();
    }
    work_.wait_until(lock, wake, [this] { return stop_ || poked_; });
    poked_ = false;
  }
}

void Line::Advance(PortState& port, Clock::time_point now, Clock::time_point& wake) {
  port.device = 0;
  port.replugged = false;
  if (++port.index >= port.queue.size()) {
    port.stage = PortStage::kDone;
    return;
  }
  port.stage = PortStage::kPlugDue;
  port.due = now + port.queue[port.index].plug_after;
  wake = std::min(wake, port.due);
}

bool Line::Step(PortState& port, Clock::time_point now, Clock::time_point& wake) {
  Bus& bus = Bus::Instance();
  switch (port.stage) {
    case PortStage::kDone:
      return false;
    case PortStage::kPlugged: {
      const LineMeter& current = port.queue[port.index];
      if (!bus.IsPlugged(port.device)) {
        const std::chrono::milliseconds replug = current.meter->Config().faults.replug_after;
        if (current.meter->Unplugged() && replug.count() > 0 && !port.replugged) {
          port.stage = PortStage::kReplugDue;
          port.device = 0;
          port.due = now + replug;
          wake = std::min(wake, port.due);
        } else {
          Advance(port, now, wake);
        }
        return true;
      }
      if (current.pull_after.count() <= 0) return false;
      const std::optional<Clock::time_point> quiet = current.meter->QuietSince();
      if (!quiet) {
        wake = std::min(wake, now + kBusyRecheck);
        return false;
      }
      const Clock::time_point pull_at = std::max(*quiet, port.plugged_at) + current.pull_after;
      if (pull_at > now) {
        wake = std::min(wake, pull_at);
        return false;
      }
      bus.Unplug(port.device);
      Advance(port, now, wake);
      return true;
    }
    case PortStage::kPlugDue:
    case PortStage::kReplugDue: {
      if (port.due > now) {
        wake = std::min(wake, port.due);
        return false;
      }
      const std::shared_ptr<VirtualMeter>& meter = port.queue[port.index].meter;
      if (port.stage == PortStage::kReplugDue) {
        meter->PlugBackIn();
        port.replugged = true;
      }
      const AttachedMeter plugged = PlugLineMeter(port.hub, port.port, meter, [this] { Poke(); });
      if (plugged.device == 0) {
        port.stage = PortStage::kDone;  // the port is gone or taken
        return true;
      }
      port.device = plugged.device;
      port.plugged_at = now;
      port.stage = PortStage::kPlugged;
      return true;
    }
  }
  return false;
}

}  // namespace

std::vector<AttachedMeter> StartLine(std::vector<LinePort> ports) {
  return TheLine().Start(std::move(ports));
}

void StopLine() { TheLine().Stop(true); }

void HaltLine() { TheLine().Stop(false); }

DeviceId LineDeviceOf(const VirtualMeter* meter) { return TheLine().DeviceOf(meter); }

uint64_t LineChangeCount() { return TheLine().Changes(); }

uint64_t WaitForLineChange(uint64_t seen, std::chrono::milliseconds limit) {
  return TheLine().WaitForChange(seen, limit);
}

}  // namespace usbsim
