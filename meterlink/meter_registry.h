// Which meters are open in this program, and the walk over the device
// positions that finds and opens them.
//
// Device positions follow the interface order, not the serial numbers, so a
// meter is known by its interface path. Every meter open through either
// interface (the device table of the ordinal exports, or an mlink_meter) is
// registered under its path with its identification and its cross-process
// lock; a walk passes registered meters over without sending them a byte,
// and passes over meters whose lock another program holds as if they were
// not attached.
//
// Walks (OpenAllDevice, mlink_enumerate, mlink_open) run one at a time in
// the process, under the walk lock. Bulkpipe keeps nothing from one call to
// the next and needs no lock; the walks do: a walk holds a free meter's
// cross-process lock while it probes it, so a second walk at the same time
// would find that lock taken and pass the meter over as in use elsewhere
// (an mlink_enumerate would miss the meter another thread's mlink_open is
// probing). Calls on a meter already open never take the walk lock.
//
// mlink_open_path and mlink_open_port know their place before they ask the
// meter anything: they take its pipes and lock under the walk lock, mark the
// path as being probed and let the walk lock go before the probe, so a new
// meter that is slow to answer (or hangs) never delays the listings and
// opens of the others. A walk meanwhile passes the marked path over without
// a byte (kProbingHere).
// Internal to the library.
#ifndef LX40_METERLINK_METER_REGISTRY_H
#define LX40_METERLINK_METER_REGISTRY_H

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "exchange.h"
#include "meter_lock.h"
#include "mlink.h"

namespace meterlink {

// Positions travel to the pipe opener as signed 8-bit numbers, so walks
// look at positions 0 to 127 only.
inline constexpr int32_t kMaxDevicePositions = 128;

// Held for a whole walk.
std::unique_lock<std::mutex> LockWalk();

// --- Under the walk lock ---
// The number of device positions Bulkpipe reports (at most
// kMaxDevicePositions; 0 or below when there is none).
int32_t CountPositions();

// The interface path at `position` (no byte is sent to any meter).
bool PathAt(int32_t position, std::string& path);

// Where the device at `path` is plugged (usbhost_interface_location):
// false, with port "" and generation 0, when the system cannot tell.
bool LocationOf(const std::string& path, std::string& port, uint32_t& generation);

// A position opened for a walk: its interface path and place, both pipes
// and the meter's cross-process lock. Whatever is not moved out is given back when
// it goes: the pipes first, then the lock (members go in reverse order), so
// no other program gets the lock while the pipes are still open here.
struct OpenedPosition {
  std::string path;
  std::string port;         // "" when the system cannot tell
  uint32_t generation = 0;  // the plug generation (0 when unknown)
  std::string denied_node;  // kNoPermission: the device file this user may not open
  MeterLock lock;
  OwnedPipes pipes;

  // Gives both back now, in the same order.
  void GiveBack() {
    pipes.Close();
    lock.Release();
  }
};

enum class PositionState {
  kOpened,         // free here and elsewhere: pipes open, lock taken
  kOpenHere,       // registered in this program (nothing opened)
  kProbingHere,    // being probed by an open in this program (nothing opened)
  kOpenElsewhere,  // another program holds its lock (nothing opened)
  kNeedsReplug,    // left mid-table by this program, not re-plugged since (nothing opened)
  kLockFailed,     // its lock file could not be opened or made: out.lock.failure() says why
  kNoPermission,   // the system refused this user its device file: out.denied_node (nothing
                   // opened)
  kFailed,         // no interface there, or a pipe would not open
};

// Looks at `position`. Fills out.path, out.port and out.generation as soon
// as there is an interface. kOpenHere copies the registered identification
// into *registered (when not null), kNeedsReplug the one last read.
PositionState OpenPosition(int32_t position, OpenedPosition& out, mlink_meter_info* registered);

// Asks the meter on `meter`'s pipes "QPID" and, when it answers "LX40",
// "IDN" (neither with the battery check). *isMeter tells which; info gets
// the identification (empty fields when "IDN" failed). The result is the
// "QPID" exchange's.
int32_t ProbeMeter(Meter& meter, bool* isMeter, mlink_meter_info* info);

// --- Any time ---
// True when a meter is registered (open in this program) under `path`;
// *info (when not null) gets its identification.
bool FindRegistered(const std::string& path, mlink_meter_info* info);
enum class Holder { kDeviceTable, kHandle };

// A path an open is probing outside the walk lock (see above): marked
// under the walk lock, once its pipes and lock are taken; unmarked when the
// probe found no meter to keep, or by RegisterMeter.
void MarkProbing(const std::string& path);
void UnmarkProbing(const std::string& path);
bool IsProbing(const std::string& path);

// Registers an open meter (its lock moves into the registry) and unmarks
// its path as being probed, in one step.
void RegisterMeter(const std::string& path, Holder holder, const mlink_meter_info& info,
                   MeterLock lock);
// Forgets it and releases its lock.
void UnregisterMeter(const std::string& path);

// Meters left in the middle of a table: known by interface path and plug
// generation, since a re-plugged meter usually gets the same path again.
// Walks pass such a meter over without a byte until its generation
// changes.
void NoteLeftMidTable(const std::string& path, uint32_t generation, const mlink_meter_info& info);
// True for a meter left mid-table; *info (when not null) gets what was last
// read from it.
bool IsLeftMidTable(const std::string& path, uint32_t generation, mlink_meter_info* info);

}  // namespace meterlink

#endif
