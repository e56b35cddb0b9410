// Ordinals 2 to 15: the meter commands on the selected meter, a thin layer
// over the commands of commands.h. The SQ_ exports share one dispatch.
#include <cstring>

#include "commands.h"
#include "device_table.h"
#include "meter_commands.h"

namespace meterlink {
namespace {

// The SQ_ exports: a null record gives -1; flag 1 queries the meter's
// setting into the record, 0 sets the record's value; any other flag -1.
// Nothing is sent for a refused call.
template <typename Record, typename Query, typename Set>
int32_t QueryOrSet(int32_t flag, Record* record, Query query, Set set) {
  if (record == nullptr) return MLINK_BAD_ARGUMENT;
  if (flag == 1) return query(SelectedMeter(), *record);
  if (flag == 0) return set(SelectedMeter(), *record);
  return MLINK_BAD_ARGUMENT;
}

}  // namespace
}  // namespace meterlink

using namespace meterlink;

extern "C" MLINK_API int32_t MLINK_CALL ResetAllData(void) {
  return ResetSettings(SelectedMeter());
}

extern "C" MLINK_API int32_t MLINK_CALL ResetAllWave(void) {
  return ResetWavelengths(SelectedMeter());
}

extern "C" MLINK_API int32_t MLINK_CALL QUES_IDN(IdnInfo* info) {
  if (info == nullptr) return MLINK_BAD_ARGUMENT;
  return QueryIdentity(SelectedMeter(), *info);
}

extern "C" MLINK_API int32_t MLINK_CALL QUES_MeasData(Reading* reading) {
  if (reading == nullptr) return MLINK_BAD_ARGUMENT;
  return QueryMeasurement(SelectedMeter(), *reading);
}

extern "C" MLINK_API int32_t MLINK_CALL QUES_AllWave(WaveEntry* entries) {
  if (entries == nullptr) return MLINK_BAD_ARGUMENT;
  return QueryWaveList(SelectedMeter(), entries);
}

extern "C" MLINK_API int32_t MLINK_CALL QUES_Sensor(char* text) {
  if (text == nullptr) return MLINK_BAD_ARGUMENT;
  Meter& meter = SelectedMeter();
  const int32_t sent = QuerySensor(meter);
  if (sent != MLINK_OK) return sent;
  // A reply is at most 63 characters; the bound holds even if it were not.
  const char* reply = meter.reply_text();
  CopyCut(std::string_view(reply, strnlen(reply, kReplyTextSize)), text, MLINK_SENSOR_TEXT_SIZE);
  return MLINK_OK;
}

extern "C" MLINK_API int32_t MLINK_CALL QUES_Rel(Reading* reading) {
  if (reading == nullptr) return MLINK_BAD_ARGUMENT;
  return QueryRelative(SelectedMeter(), *reading);
}

extern "C" MLINK_API int32_t MLINK_CALL SET_Rel0(void) {
  return SetRelativeToCurrent(SelectedMeter());
}

extern "C" MLINK_API int32_t MLINK_CALL SET_Rel1(const Reading* reading) {
  if (reading == nullptr) return MLINK_BAD_ARGUMENT;
  return SetRelative(SelectedMeter(), *reading);
}

extern "C" MLINK_API int32_t MLINK_CALL SQ_Mode(int32_t flag, ModeSettings* settings) {
  return QueryOrSet(flag, settings, QueryMode,
                    [](Meter& m, const ModeSettings& s) { return SetMode(m, s); });
}

extern "C" MLINK_API int32_t MLINK_CALL SQ_Ave(int32_t flag, int32_t* value) {
  return QueryOrSet(flag, value, QueryAveraging,
                    [](Meter& m, int32_t v) { return SetAveraging(m, v); });
}

extern "C" MLINK_API int32_t MLINK_CALL SQ_Range(int32_t flag, int32_t* value) {
  return QueryOrSet(flag, value, QueryRange, [](Meter& m, int32_t v) { return SetRange(m, v); });
}

extern "C" MLINK_API int32_t MLINK_CALL SQ_Wave(int32_t flag, WaveEntry* entry) {
  return QueryOrSet(flag, entry, QueryWave,
                    [](Meter& m, const WaveEntry& e) { return SetWave(m, e); });
}

extern "C" MLINK_API int32_t MLINK_CALL SQ_Aps(int32_t flag, int32_t* on) {
  return QueryOrSet(flag, on, QueryAps, [](Meter& m, int32_t v) { return SetAps(m, v); });
}
