// The attached meters, as Meterlink's enumeration reports them.
#ifndef LX40_LX40_METER_LIST_H
#define LX40_LX40_METER_LIST_H

#include <cstdint>
#include <string>
#include <vector>

#include "mlink.h"

namespace lx40 {

// Every attached, free LX40 in device position order. Returns
// mlink_enumerate's result.
int32_t ListMeters(std::vector<mlink_meter_info>* meters);

// Every attached, free LX40 with where it is plugged, in device position
// order (meters this program left mid-table are not among them). Returns
// mlink_enumerate_places's result.
int32_t ListPlaces(std::vector<mlink_meter_place>* places);

// The meters named by `serials` (as shown: "\xNN" for a byte outside
// printable ASCII, or the bytes themselves), in the order named, each name
// giving every meter that answers with it (two meters may share a serial
// number), or all of `attached` when none is named. Names not attached go to `missing`; a
// name given twice counts once.
std::vector<mlink_meter_place> SelectPlaces(const std::vector<mlink_meter_place>& attached,
                                            const std::vector<std::string>& serials,
                                            std::vector<std::string>* missing);

// One warning per serial number that more than one of `places` answers
// with: "SERIAL appears twice (ports 1-1, 1-2)" (display text).
std::vector<std::string> SharedSerialWarnings(const std::vector<mlink_meter_place>& places);

// A serial number typed on the command line as it is shown: escaped
// ("\xNN"), whichever form was typed.
std::string ShownSerial(const std::string& typed);

// Opens the meter named on the command line: the one at `port` when a port
// is given (its serial must then match, unless `serial` is empty), else the
// one meter answering with `serial` (as shown, "\xNN" for a byte outside
// printable ASCII). A serial that more than one meter answers with is
// refused as ambiguous, naming their ports (bad input: --port chooses). On
// failure says why on stderr ("SERIAL: <message>") and returns the exit
// status for it (bad input, no such meter, else a failed unit); 0 with
// *meter set on success.
int OpenNamedMeter(const std::string& typed, const std::string& port, mlink_meter** meter);

}  // namespace lx40

#endif
