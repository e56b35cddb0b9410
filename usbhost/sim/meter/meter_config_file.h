// A small text file that describes the simulated meters, so the demo can be
// given other meters than the default two without rebuilding.
//
// Format: one [meter] section per meter; meters are plugged in the order
// written. Inside a section, one "key = value" per line; spaces around key
// and value are ignored. Blank lines and lines whose first non-blank
// character is '#' or ';' are comments. Keys are lower case; command words
// and keywords are upper case, as the meter compares them. CRLF line ends
// and a UTF-8 byte order mark are accepted. A file without sections gives a
// bus with no meters.
//
//   [meter]
//   serial = A12345678       required; 1 to 40 printable ASCII characters, or
//                            \xNN for any other byte (not 00, 0D, 0A, 2C)
//   model = LX40             answer to "QPID", field 2 of "IDN" (default LX40)
//   maker = Vantor           field 1 of "IDN" (default Vantor)
//   version = 100            field 4 of "IDN" (default 100)
//   slots = 0100000          seven 0/1 digits, slot 0 first (default all 0)
//   battery = ok             ok | low
//   latency_us = 2000        delay before each answer, 0 to 10000000
//   read_limit_ms = 2000     a read still waiting after this ends as an idle
//                            read (0 bytes), 1 to 60000 (default 2000)
//   behind_hub = no          yes | no: on the external hub, not the root hub
//   wrong_echo_at = 3        header byte 0 to 15 echoed wrongly
//   nak_header               NAK after the header (also "nak_header = yes|no")
//   nak_trailer              NAK the trailer (also "nak_trailer = yes|no")
//   silent_from = 5          from this exchange (from 1) on, no answers
//   hang_from = 5            from this exchange on, writes are taken but no
//                            read completes: each ends idle at the read limit
//   unplug_at = 7            at this exchange the meter is pulled out
//   replug_after_ms = 500    ... and plugged back in this long after, 1 to
//                            60000 (as after a power cycle: slots kept,
//                            silent_from, hang_from and unplug_at cleared)
//   error_reply = BTRY=MEM_ERR   answer this keyword to that command word
//   no_cr = TEST             answer that command without the final CR
//   long_reply = IDN         answer that command with more than 64 bytes
//   split_reply = IDN:4      deliver that answer in blocks of 1 to 64 bytes
//
//   port = 3                 the meter's port (1 to 64) on its hub (the root
//                            hub, or the external one when behind_hub)
//   plug_after_ms = 500      a meter queued behind another in its port is
//                            plugged in this long after that one was pulled
//                            out, 0 to 600000 (default 500)
//   pull_after_ms = 1000     the meter is pulled out this long after the
//                            host's last call on its pipes ended (or after
//                            its plug-in, when the host never calls on it),
//                            1 to 600000; without it the meter stays
//
// error_reply, no_cr, long_reply and split_reply may be given several times
// (one command word each); any other key at most once per meter.
//
// Topology built: host controller 0 whose root hub carries the meters not
// behind a hub and, if any meter is behind_hub, an external hub with those
// meters. A meter with `port` takes that port; the others take, in the
// order written, the lowest ports of their hub no meter names. The external
// hub goes on the lowest root port left free. Each hub has at least 4
// ports. A file without `port` keys thus gives: the meters not behind a hub
// on root ports 1, 2, ..., the external hub on the next port, the others on
// its ports 1, 2, ...
//
// The line: meters that name the same port (on the same hub) form that
// port's queue, in the order written. Its first meter is plugged in at
// once, each next one plug_after_ms after the one before it was pulled out
// (by pull_after_ms, its unplug fault without replug_after_ms, or the bus).
// A port holding a queue or a meter with pull_after_ms is run by the line
// (meter/sim_line.h); the other meters are plugged in as they always were.
#ifndef LX40_USBHOST_SIM_METER_METER_CONFIG_FILE_H
#define LX40_USBHOST_SIM_METER_METER_CONFIG_FILE_H

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "meter/meter_attach.h"
#include "meter/meter_config.h"

namespace usbsim {

inline constexpr std::chrono::milliseconds kDefaultPlugAfter{500};
inline constexpr int kMaxMeterPort = 64;

struct MeterPlacement {
  MeterConfig config;
  bool behind_hub = false;
  int port = 0;  // 0: the next port no meter names
  std::chrono::milliseconds plug_after = kDefaultPlugAfter;
  std::chrono::milliseconds pull_after{0};  // 0: never pulled out
};

inline constexpr size_t kMaxConfiguredMeters = 256;
inline constexpr size_t kMaxMeterConfigFileSize = 1 << 20;

// Parses the text of a meter file. Returns "" and fills `meters` on
// success; otherwise returns "line <n>: <what is wrong>" for the first bad
// line (or a message about the whole text) and leaves `meters` empty.
std::string ParseMeterConfigText(std::string_view text, std::vector<MeterPlacement>* meters);

// Stops any line, empties the bus and builds the topology described above,
// starting the line when the meters make one. Returns the meters in the
// order given; a meter waiting in a queue has device 0 (the line's current
// device of a meter: LineDeviceOf).
std::vector<AttachedMeter> BuildConfiguredTopology(const std::vector<MeterPlacement>& meters);

// Reads, parses and builds. Returns "" on success; otherwise the error
// (a file that cannot be read, or the parse error), and the bus is left
// as it was.
std::string LoadMeterConfigFile(const std::string& path, std::vector<AttachedMeter>* attached);

}  // namespace usbsim

#endif
