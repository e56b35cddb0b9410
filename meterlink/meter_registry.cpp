#include "meter_registry.h"

#include <cstring>
#include <map>
#include <set>
#include <utility>

#include "bulkpipe.h"
#include "command_reply.h"
#include "formats/reply_fields.h"
#include "meter_identity.h"

namespace meterlink {
namespace {

// The exact reply of an LX40 to "QPID".
constexpr char kModelString[] = "LX40";
// Room for an interface path as the lookup reports it.
constexpr uint32_t kPathCapacity = 1024;

struct Registered {
  Holder holder;
  mlink_meter_info info;
  MeterLock lock;
};

std::mutex g_walkMutex;
std::mutex g_registryMutex;
std::map<std::string, Registered>& Registry() {
  static std::map<std::string, Registered> registry;
  return registry;
}

std::set<std::string>& Probing() {
  static std::set<std::string> probing;
  return probing;
}

// Room for a port text as the location call reports it.
constexpr uint32_t kPortCapacity = MLINK_PORT_SIZE;

using LeftMidTableMap = std::map<std::pair<std::string, uint32_t>, mlink_meter_info>;
LeftMidTableMap& LeftMidTable() {
  static LeftMidTableMap left;
  return left;
}

// The text exchange without battery check or reply mapping, as the walk
// has always asked.
int32_t Ask(Meter& meter, const char* command) {
  const int32_t sent = meter.SendText(command);
  if (sent != MLINK_OK) return sent;
  return meter.ReceiveText(meter.reply_text());
}

void FillIdentity(const char* reply, mlink_meter_info& info) {
  const ReplyFields fields = SplitReplyFields(reply, kReplyTextSize);
  if (const auto maker = fields.Field(1)) CopyCut(*maker, info.maker, sizeof info.maker);
  if (const auto model = fields.Field(2)) CopyCut(*model, info.model, sizeof info.model);
  if (const auto serial = fields.Field(3)) {
    CopyCut(*serial, info.serial, sizeof info.serial);
    if (serial->size() >= sizeof info.serial) info.flags |= MLINK_INFO_SERIAL_CUT;
  }
  const auto version = fields.Field(4);
  if (version && version->size() >= 3) {
    const char text[] = {(*version)[0], '.', (*version)[1], (*version)[2], '\0'};
    static_assert(sizeof text == sizeof info.version);
    std::memcpy(info.version, text, sizeof text);
  }
}

}  // namespace

bool PathAt(int32_t position, std::string& path) {
  char buffer[kPathCapacity] = {};
  if (!usbhost_interface_path(bulkpipe::kMeterInterfaceGuid, position, buffer, sizeof buffer)) {
    return false;
  }
  buffer[sizeof buffer - 1] = '\0';
  path = buffer;
  return true;
}

bool LocationOf(const std::string& path, std::string& port, uint32_t& generation) {
  char buffer[kPortCapacity] = {};
  uint32_t found = 0;
  port.clear();
  generation = 0;
  if (!usbhost_interface_location(path.c_str(), buffer, sizeof buffer, &found)) return false;
  buffer[sizeof buffer - 1] = '\0';
  port = buffer;
  generation = found;
  return true;
}

std::unique_lock<std::mutex> LockWalk() { return std::unique_lock<std::mutex>(g_walkMutex); }

int32_t CountPositions() {
  const int32_t count = CheckUSBDevices(nullptr);
  return count > kMaxDevicePositions ? kMaxDevicePositions : count;
}

bool FindRegistered(const std::string& path, mlink_meter_info* info) {
  std::lock_guard<std::mutex> lock(g_registryMutex);
  const auto found = Registry().find(path);
  if (found == Registry().end()) return false;
  if (info != nullptr) *info = found->second.info;
  return true;
}

PositionState OpenPosition(int32_t position, OpenedPosition& out, mlink_meter_info* registered) {
  out.GiveBack();
  out.path.clear();
  if (!PathAt(position, out.path)) return PositionState::kFailed;
  LocationOf(out.path, out.port, out.generation);
  if (FindRegistered(out.path, registered)) return PositionState::kOpenHere;
  if (IsProbing(out.path)) return PositionState::kProbingHere;
  if (IsLeftMidTable(out.path, out.generation, registered)) return PositionState::kNeedsReplug;
  switch (out.lock.Take(out.path)) {
    case MeterLock::Outcome::kTaken:
      break;
    case MeterLock::Outcome::kHeld:
      return PositionState::kOpenElsewhere;
    case MeterLock::Outcome::kFailed:
      return PositionState::kLockFailed;
  }

  PipePair pipes;
  pipes.command = OpenUSBBulkFile(0, position);
  if (pipes.command != USBHOST_INVALID) pipes.reply = OpenUSBBulkFile(1, position);
  char denied[kPathCapacity] = {};
  const bool no_permission =
      pipes.reply == USBHOST_INVALID &&
      usbhost_open_error(denied, sizeof denied) == USBHOST_OPEN_NO_PERMISSION;
  out.pipes = OwnedPipes(pipes);
  if (no_permission) {
    // Seen on the bus but not to be opened: said as such, never dropped as
    // "no meter".
    out.GiveBack();
    out.denied_node = denied[0] != '\0' ? denied : out.path;
    return PositionState::kNoPermission;
  }
  // The interface order may have changed under the walk (a meter plugged
  // or pulled): pipes opened for another interface than the one locked are
  // given back.
  std::string after;
  if (!out.pipes.open() || !PathAt(position, after) || after != out.path) {
    out.GiveBack();
    return PositionState::kFailed;
  }
  return PositionState::kOpened;
}

int32_t ProbeMeter(Meter& meter, bool* isMeter, mlink_meter_info* info) {
  *isMeter = false;
  *info = mlink_meter_info{};
  const int32_t result = Ask(meter, "QPID");
  if (result != MLINK_OK) return result;
  if (std::strcmp(meter.reply_text(), kModelString) != 0) return MLINK_OK;
  *isMeter = true;
  if (Ask(meter, "IDN") == MLINK_OK) FillIdentity(meter.reply_text(), *info);
  return MLINK_OK;
}

void MarkProbing(const std::string& path) {
  std::lock_guard<std::mutex> guard(g_registryMutex);
  Probing().insert(path);
}

void UnmarkProbing(const std::string& path) {
  std::lock_guard<std::mutex> guard(g_registryMutex);
  Probing().erase(path);
}

bool IsProbing(const std::string& path) {
  std::lock_guard<std::mutex> guard(g_registryMutex);
  return Probing().count(path) != 0;
}

void RegisterMeter(const std::string& path, Holder holder, const mlink_meter_info& info,
                   MeterLock lock) {
  std::lock_guard<std::mutex> guard(g_registryMutex);
  Registry().insert_or_assign(path, Registered{holder, info, std::move(lock)});
  Probing().erase(path);
}

void UnregisterMeter(const std::string& path) {
  std::lock_guard<std::mutex> guard(g_registryMutex);
  Registry().erase(path);
}

void NoteLeftMidTable(const std::string& path, uint32_t generation, const mlink_meter_info& info) {
  std::lock_guard<std::mutex> guard(g_registryMutex);
  mlink_meter_info kept = info;
  kept.flags &= ~MLINK_INFO_IN_USE;
  LeftMidTable().insert_or_assign({path, generation}, kept);
}

bool IsLeftMidTable(const std::string& path, uint32_t generation, mlink_meter_info* info) {
  std::lock_guard<std::mutex> guard(g_registryMutex);
  auto& left = LeftMidTable();
  const auto found = left.find({path, generation});
  if (found != left.end()) {
    if (info != nullptr) *info = found->second;
    return true;
  }
  // Plugged in again: entries of the path's earlier generations are done.
  for (auto it = left.lower_bound({path, 0}); it != left.end() && it->first.first == path;) {
    it = left.erase(it);
  }
  return false;
}

}  // namespace meterlink
