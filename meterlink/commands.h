// The meter commands on one meter, shared by the ordinal exports (2 to 15,
// on the selected meter) and the handle API. Each checks its values before
// anything is sent, sends after the battery check unless told otherwise, and
// leaves the caller's record as it was on any result but 1 (except where
// said). Internal to the library.
#ifndef LX40_METERLINK_COMMANDS_H
#define LX40_METERLINK_COMMANDS_H

#include <cstdint>

#include "command_reply.h"
#include "exchange.h"
#include "mlink.h"

namespace meterlink {

// "RESET_SETDATA", "RESET_WVLEN", "SET_REL0": expect OK.
int32_t ResetSettings(Meter& meter);
int32_t ResetWavelengths(Meter& meter);
int32_t SetRelativeToCurrent(Meter& meter);

// "IDN" into info. The reply stays in meter.reply_text() (its third field
// is the whole serial number).
int32_t QueryIdentity(Meter& meter, IdnInfo& info, Battery battery = Battery::kCheck);
// "GET_SENSER": the reply text stays in meter.reply_text().
int32_t QuerySensor(Meter& meter);

// "GET_MESRDATA" and "GET_REL", converted to the unit asked in reading.unit.
int32_t QueryMeasurement(Meter& meter, Reading& reading);
int32_t QueryRelative(Meter& meter, Reading& reading);
// "SET_REL1:<reading>".
int32_t SetRelative(Meter& meter, const Reading& reading);

// "GET_WAVELEN:0" to ":9" into entries[0..9]; the entries before a failure
// keep what they received.
int32_t QueryWaveList(Meter& meter, WaveEntry* entries);
// "GET_WAVELEN" / "SET_WAVELEN".
int32_t QueryWave(Meter& meter, WaveEntry& entry);
int32_t SetWave(Meter& meter, const WaveEntry& entry);

// "GET_MODE" / "SET_MODE".
int32_t QueryMode(Meter& meter, ModeSettings& settings);
int32_t SetMode(Meter& meter, const ModeSettings& settings);

// "GET_AVE" / "SET_AVE", "GET_RANGE" / "SET_RANGE".
int32_t QueryAveraging(Meter& meter, int32_t& count);
int32_t SetAveraging(Meter& meter, int32_t count);
int32_t QueryRange(Meter& meter, int32_t& range);
int32_t SetRange(Meter& meter, int32_t range);

// "GET_APS" / "SET_APS", on 1 or 0.
int32_t QueryAps(Meter& meter, int32_t& on);
int32_t SetAps(Meter& meter, int32_t on);

}  // namespace meterlink

#endif
