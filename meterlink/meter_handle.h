// What an mlink_meter stands for, and the table of live handles. A handle
// is an id, never a pointer the library follows: a closed, unknown or
// made-up handle is looked up, not found, and refused; ids are never reused.
// Internal to the library.
#ifndef LX40_METERLINK_METER_HANDLE_H
#define LX40_METERLINK_METER_HANDLE_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "exchange.h"
#include "load_protocol.h"
#include "mlink.h"

namespace meterlink {

// The load protocol's transport over one meter's pipes.
class MeterTransport : public loadproto::Transport {
 public:
  explicit MeterTransport(Meter& meter) : meter_(meter) {}
  bool SendCommand(const char* text) override { return meter_.SendText(text) == MLINK_OK; }
  bool SendByte(uint8_t value) override { return meter_.WriteRaw(&value, 1) == MLINK_OK; }
  bool SendBlock(const uint8_t* data, std::size_t size) override {
    return meter_.WriteRaw(data, static_cast<uint32_t>(size)) == MLINK_OK;
  }
  bool Receive() override { return meter_.ReceiveLastBlock() == MLINK_OK; }
  bool TakeByte(uint8_t* out) override { return meter_.Take(out) == MLINK_OK; }

 private:
  Meter& meter_;
};

enum class LoadPhase {
  kIdle,       // no load in progress; the meter takes commands
  kRunning,    // between steps of a load
  kAbandoned,  // a load ended mid-table: the meter still expects table bytes
};

// An open meter. mlink_close takes it out of the handle table; a call
// running on it meanwhile keeps its own reference, so the pipes, the lock
// and the registration go together when the last reference goes, never
// under a call that still uses them.
struct MeterHandle {
  explicit MeterHandle(OwnedPipes opened) : pipes(std::move(opened)), link(pipes.get()) {}
  ~MeterHandle();
  MeterHandle(const MeterHandle&) = delete;
  MeterHandle& operator=(const MeterHandle&) = delete;

  OwnedPipes pipes;
  Meter link;
  std::string path;         // registered under this interface path
  bool registered = false;  // the registration is this handle's to remove
  mlink_meter_info info{};
  mlink_meter_place place{};

  // The table load.
  MeterTransport transport{link};
  loadproto::TableSender sender{transport, /*judgeSends=*/true};
  std::vector<uint8_t> table;  // the caller's table, copied by begin
  LoadPhase phase = LoadPhase::kIdle;
  uint32_t stepsDone = 0;
  uint32_t stepsTotal = 0;

  // The meter waits for table bytes: a load stopped after "HOSEI" went out.
  bool LeftMidTable() const {
    return phase == LoadPhase::kAbandoned || (phase == LoadPhase::kRunning && stepsDone > 0);
  }
};

// Adds an open meter and gives its handle.
mlink_meter* AddHandle(std::shared_ptr<MeterHandle> handle);
// The meter behind `handle`, or null when it is not a live handle.
std::shared_ptr<MeterHandle> FindHandle(mlink_meter* handle);
// Takes the meter out of the table (null when it is not a live handle).
std::shared_ptr<MeterHandle> RemoveHandle(mlink_meter* handle);

// The meter for a call that exchanges with it: MLINK_OK with `out` set, or
// MLINK_ERR_INVALID_HANDLE, MLINK_ERR_LOAD_STATE (a load is in progress) or
// MLINK_ERR_LOAD_ABANDONED.
int32_t MeterForExchange(mlink_meter* handle, std::shared_ptr<MeterHandle>& out);

// Every call that exchanges with a meter checks in one order: the handle
// (MLINK_ERR_INVALID_HANDLE), then the call's own arguments (`check` gives
// MLINK_OK or its refusal, and may clear the caller's outputs), then whether
// the meter is free (MLINK_ERR_LOAD_STATE, MLINK_ERR_LOAD_ABANDONED). Only
// then `exchange` runs on the handle: a refused call sends nothing.
template <typename Check, typename Exchange>
int32_t OnFreeMeter(mlink_meter* meter, Check check, Exchange exchange) {
  std::shared_ptr<MeterHandle> handle;
  const int32_t usable = MeterForExchange(meter, handle);
  if (usable == MLINK_ERR_INVALID_HANDLE) return usable;
  const int32_t checked = check();
  if (checked != MLINK_OK) return checked;
  if (usable != MLINK_OK) return usable;
  return exchange(*handle);
}

}  // namespace meterlink

#endif
