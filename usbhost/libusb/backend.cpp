#include "backend.h"

#include <libusb.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "bus_snapshot.h"
#include "device_scan.h"
#include "meter_identity.h"
#include "meter_session.h"

namespace usbhost_libusb {
namespace {

constexpr const char* kDevicePrefix = "\\\\.\\";
constexpr const char* kControllerPrefix = "\\\\.\\HCD";

enum class HandleKind { kController, kHub, kInterface, kPipe };

struct OpenHandle {
  HandleKind kind = HandleKind::kController;
  int controller = -1;
  std::string hub;  // the hub's name, looked up in the snapshot at each request
  int pipe = -1;
  uint32_t access = 0;
  std::shared_ptr<MeterSession> session;
};

struct LastOpenError {
  uint32_t code = 0;
  std::string node;
};
thread_local LastOpenError t_open_error;

class Backend {
 public:
  static Backend& Instance() {
    // Never destroyed: another thread may still be in a call while the
    // process exits.
    static Backend* backend = new Backend;
    return *backend;
  }

  usbhost_handle Open(const std::string& path, uint32_t access);
  bool Close(usbhost_handle h);
  std::shared_ptr<MeterSession> PipeSession(usbhost_handle h, int pipe, uint32_t access);
  bool Ioctl(usbhost_handle h, uint32_t code, const std::vector<uint8_t>& in, uint8_t* out,
             uint32_t out_size, uint32_t* returned);
  bool PathAt(int32_t position, std::string* path);
  bool Location(const std::string& path, std::string* port, uint32_t* generation);

 private:
  Backend() {
    // No context: every call fails as on a machine without USB.
    if (libusb_init(&context_) != 0) context_ = nullptr;
  }

  // Takes a new snapshot of the system's devices. Called with mutex_ held.
  void Refresh() {
    snapshot_ = context_ != nullptr ? BuildSnapshot(ScanDevices(context_)) : BusSnapshot{};
  }
  const MeterInterface* MeterByPath(const std::string& path) const {
    for (const MeterInterface& meter : snapshot_.meters) {
      if (meter.path == path) return &meter;
    }
    return nullptr;
  }
  usbhost_handle Add(OpenHandle entry) {
    const usbhost_handle h = next_handle_;
    next_handle_ += 4;  // like Windows handles: never -1, never reused
    handles_.emplace(h, std::move(entry));
    return h;
  }
  bool OpenMeter(const std::string& path, uint32_t access, usbhost_handle* h);

  libusb_context* context_ = nullptr;
  std::mutex mutex_;
  BusSnapshot snapshot_;
  std::map<usbhost_handle, OpenHandle> handles_;
  // The session of each meter path while a handle holds it.
  std::map<std::string, std::weak_ptr<MeterSession>> sessions_;
  usbhost_handle next_handle_ = 0x100;
};

usbhost_handle Backend::Open(const std::string& path, uint32_t access) {
  t_open_error = {};
  std::lock_guard lock(mutex_);
  const std::string controller_prefix = kControllerPrefix;
  if (path.size() == controller_prefix.size() + 1 &&
      path.compare(0, controller_prefix.size(), controller_prefix) == 0) {
    const char digit = path.back();
    if (digit < '0' || digit > '9') return USBHOST_INVALID;
    // A walk opens the controllers in order: its topology is the one taken
    // as it starts.
    if (digit == '0') Refresh();
    const int n = digit - '0';
    if (!snapshot_.topology.controllers[n].present) return USBHOST_INVALID;
    OpenHandle entry;
    entry.kind = HandleKind::kController;
    entry.controller = n;
    entry.access = access;
    return Add(std::move(entry));
  }
  const std::string device_prefix = kDevicePrefix;
  if (path.compare(0, device_prefix.size(), device_prefix) == 0) {
    const std::string name = path.substr(device_prefix.size());
    for (const auto& [id, hub] : snapshot_.topology.hubs) {
      if (hub.name != name) continue;
      OpenHandle entry;
      entry.kind = HandleKind::kHub;
      entry.hub = name;
      entry.access = access;
      return Add(std::move(entry));
    }
    return USBHOST_INVALID;
  }
  usbhost_handle h = USBHOST_INVALID;
  OpenMeter(path, access, &h);
  return h;
}

// "<path>" opens the meter interface, "<path>\0" and "\1" its pipes; all
// three share the meter's one session.
bool Backend::OpenMeter(const std::string& path, uint32_t access, usbhost_handle* h) {
  std::string base = path;
  int pipe = -1;
  if (path.size() > 2 && path[path.size() - 2] == '\\' &&
      (path.back() == '0' || path.back() == '1')) {
    base = path.substr(0, path.size() - 2);
    pipe = path.back() - '0';
  }
  Refresh();
  const MeterInterface* meter = MeterByPath(base);
  if (meter == nullptr) return false;
  std::shared_ptr<MeterSession> session;
  if (auto known = sessions_.find(base); known != sessions_.end()) session = known->second.lock();
  if (!session) {
    OpenFailure failure = OpenFailure::kNone;
    session = MeterSession::Open(context_, meter->found, &failure);
    if (!session) {
      if (failure == OpenFailure::kNoPermission) {
        t_open_error = {USBHOST_OPEN_NO_PERMISSION, meter->path};
      }
      return false;
    }
    sessions_[base] = session;
  }
  OpenHandle entry;
  entry.kind = pipe < 0 ? HandleKind::kInterface : HandleKind::kPipe;
  entry.pipe = pipe;
  entry.access = access;
  entry.session = std::move(session);
  *h = Add(std::move(entry));
  return true;
}

bool Backend::Close(usbhost_handle h) {
  std::shared_ptr<MeterSession> last;  // released (and closed) outside the lock
  std::lock_guard lock(mutex_);
  const auto it = handles_.find(h);
  if (it == handles_.end()) return false;
  last = std::move(it->second.session);
  handles_.erase(it);
  return true;
}

std::shared_ptr<MeterSession> Backend::PipeSession(usbhost_handle h, int pipe, uint32_t access) {
  std::lock_guard lock(mutex_);
  const auto it = handles_.find(h);
  if (it == handles_.end() || it->second.kind != HandleKind::kPipe || it->second.pipe != pipe ||
      (it->second.access & access) == 0) {
    return nullptr;
  }
  return it->second.session;
}

bool Backend::Ioctl(usbhost_handle h, uint32_t code, const std::vector<uint8_t>& in, uint8_t* out,
                    uint32_t out_size, uint32_t* returned) {
  std::lock_guard lock(mutex_);
  const auto it = handles_.find(h);
  if (it == handles_.end()) return false;
  const OpenHandle& entry = it->second;
  const usbtopo::Topology& topology = snapshot_.topology;
  switch (entry.kind) {
    case HandleKind::kController:
      return usbtopo::ControllerIoctl(topology, entry.controller, code, in, out, out_size,
                                      returned);
    case HandleKind::kHub:
      for (const auto& [id, hub] : topology.hubs) {
        if (hub.name == entry.hub) {
          return usbtopo::HubIoctl(topology, id, code, in, out, out_size, returned);
        }
      }
      return false;  // gone since it was opened
    case HandleKind::kInterface:
    case HandleKind::kPipe:
      return false;
  }
  return false;
}

bool Backend::PathAt(int32_t position, std::string* path) {
  std::lock_guard lock(mutex_);
  Refresh();
  if (position < 0 || position >= static_cast<int64_t>(snapshot_.meters.size())) return false;
  *path = snapshot_.meters[position].path;
  return true;
}

bool Backend::Location(const std::string& path, std::string* port, uint32_t* generation) {
  std::lock_guard lock(mutex_);
  Refresh();
  const MeterInterface* meter = MeterByPath(path);
  if (meter == nullptr) return false;
  *port = meter->location;
  *generation = static_cast<uint32_t>(meter->found.address);
  return true;
}

}  // namespace

usbhost_handle Open(const char* path, uint32_t access) {
  if (path == nullptr) return USBHOST_INVALID;
  return Backend::Instance().Open(path, access);
}

bool Close(usbhost_handle h) { return Backend::Instance().Close(h); }

bool Write(usbhost_handle h, const void* data, uint32_t size, uint32_t* done) {
  if (done == nullptr) return false;
  *done = 0;
  if (data == nullptr && size != 0) return false;
  const auto session = Backend::Instance().PipeSession(h, 0, USBHOST_GENERIC_WRITE);
  return session && session->Write(static_cast<const uint8_t*>(data), size, done);
}

bool Read(usbhost_handle h, void* data, uint32_t size, uint32_t* done) {
  if (done == nullptr) return false;
  *done = 0;
  if (data == nullptr && size != 0) return false;
  const auto session = Backend::Instance().PipeSession(h, 1, USBHOST_GENERIC_READ);
  return session && session->Read(static_cast<uint8_t*>(data), size, done);
}

bool Ioctl(usbhost_handle h, uint32_t code, void* in, uint32_t in_size, void* out,
           uint32_t out_size, uint32_t* returned) {
  if (returned == nullptr) return false;
  *returned = 0;
  if ((in == nullptr && in_size != 0) || (out == nullptr && out_size != 0)) return false;
  // The input is read in full before any output is written: callers pass
  // one buffer as both.
  const auto* in_bytes = static_cast<const uint8_t*>(in);
  const std::vector<uint8_t> request(in_bytes, in_bytes + in_size);
  return Backend::Instance().Ioctl(h, code, request, static_cast<uint8_t*>(out), out_size,
                                   returned);
}

bool InterfacePathAt(const uint8_t guid[16], int32_t position, char* path, uint32_t size) {
  if (guid == nullptr || path == nullptr) return false;
  if (std::memcmp(guid, bulkpipe::kMeterInterfaceGuid, sizeof bulkpipe::kMeterInterfaceGuid) != 0) {
    return false;
  }
  std::string found;
  if (!Backend::Instance().PathAt(position, &found) || found.size() + 1 > size) return false;
  std::memcpy(path, found.c_str(), found.size() + 1);
  return true;
}

bool InterfaceLocation(const char* path, char* port, uint32_t size, uint32_t* generation) {
  if (path == nullptr || port == nullptr || generation == nullptr) return false;
  std::string text;
  uint32_t found = 0;
  if (!Backend::Instance().Location(path, &text, &found) || text.size() + 1 > size) return false;
  std::memcpy(port, text.c_str(), text.size() + 1);
  *generation = found;
  return true;
}

uint32_t OpenError(std::string* node) {
  *node = t_open_error.node;
  return t_open_error.code;
}

}  // namespace usbhost_libusb
