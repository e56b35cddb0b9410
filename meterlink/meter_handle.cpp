#include "meter_handle.h"

#include <map>
#include <mutex>

#include "meter_registry.h"

namespace meterlink {

MeterHandle::~MeterHandle() {
  // A meter left mid-table stays known as such until it is plugged in
  // again. The pipes are closed before the lock goes with the registration.
  if (registered && LeftMidTable()) NoteLeftMidTable(path, place.generation, info);
  pipes.Close();
  link.set_pipes(PipePair{});
  if (registered) UnregisterMeter(path);
}
namespace {

std::mutex g_handlesMutex;
uintptr_t g_lastId = 0;

std::map<uintptr_t, std::shared_ptr<MeterHandle>>& Handles() {
  static std::map<uintptr_t, std::shared_ptr<MeterHandle>> handles;
  return handles;
}

uintptr_t IdOf(mlink_meter* handle) { return reinterpret_cast<uintptr_t>(handle); }

}  // namespace

mlink_meter* AddHandle(std::shared_ptr<MeterHandle> handle) {
  std::lock_guard<std::mutex> lock(g_handlesMutex);
  // The counter times an odd constant: unique, never 0 in practice, and
  // unlike the small numbers or addresses a stray value tends to be.
  const uintptr_t id = ++g_lastId * static_cast<uintptr_t>(0x9E3779B1u);
  Handles().emplace(id, std::move(handle));
  return reinterpret_cast<mlink_meter*>(id);
}

std::shared_ptr<MeterHandle> FindHandle(mlink_meter* handle) {
  std::lock_guard<std::mutex> lock(g_handlesMutex);
  const auto found = Handles().find(IdOf(handle));
  return found == Handles().end() ? nullptr : found->second;
}

std::shared_ptr<MeterHandle> RemoveHandle(mlink_meter* handle) {
  std::lock_guard<std::mutex> lock(g_handlesMutex);
  const auto found = Handles().find(IdOf(handle));
  if (found == Handles().end()) return nullptr;
  std::shared_ptr<MeterHandle> removed = std::move(found->second);
  Handles().erase(found);
  return removed;
}

int32_t MeterForExchange(mlink_meter* handle, std::shared_ptr<MeterHandle>& out) {
  out = FindHandle(handle);
  if (out == nullptr) return MLINK_ERR_INVALID_HANDLE;
  switch (out->phase) {
    case LoadPhase::kIdle:
      return MLINK_OK;
    case LoadPhase::kRunning:
      return MLINK_ERR_LOAD_STATE;
    case LoadPhase::kAbandoned:
      return MLINK_ERR_LOAD_ABANDONED;
  }
  return MLINK_ERR_INVALID_HANDLE;
}

}  // namespace meterlink
