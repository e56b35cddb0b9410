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

// The meters named by `serials` (whole serial numbers, as shown: "\xNN"
// for a byte outside printable ASCII), in the order named, or all of
// `attached` when none is named. Names not attached go to `missing`, as
// shown; a name given twice counts once.
std::vector<mlink_meter_info> SelectMeters(const std::vector<mlink_meter_info>& attached,
                                           const std::vector<std::string>& serials,
                                           std::vector<std::string>* missing);

// A serial number typed on the command line as it is shown: escaped
// ("\xNN"), whichever form was typed.
std::string ShownSerial(const std::string& typed);

// Opens the meter named on the command line (its serial number as shown,
// "\xNN" for a byte outside printable ASCII). On failure says why on stderr
// ("SERIAL: <message>") and returns the exit status for it (bad input, no
// such meter, else a failed unit); 0 with *meter set on success.
int OpenNamedMeter(const std::string& typed, mlink_meter** meter);

}  // namespace lx40

#endif
