// The handle API's meter commands: each one the shared command of
// commands.h on the handle's meter, after the handle and the record are
// checked (nothing is sent for a refused call).
#include <cstring>

#include "commands.h"
#include "meter_handle.h"
#include "mlink.h"

using namespace meterlink;

namespace {

// Runs `command` on the meter behind `meter` when the handle is live,
// `record` (the caller's pointer, or a non-null marker for commands without
// one) not null and the meter free (OnFreeMeter's order).
template <typename Command>
int32_t OnMeter(mlink_meter* meter, const void* record, Command command) {
  return OnFreeMeter(
      meter, [record]() -> int32_t { return record != nullptr ? MLINK_OK : MLINK_BAD_ARGUMENT; },
      [&command](MeterHandle& handle) { return command(handle.link); });
}

// A buffer the call fills: not null, and at least `needed` of its units.
int32_t CheckBuffer(const void* buffer, size_t size, size_t needed) {
  if (buffer == nullptr) return MLINK_BAD_ARGUMENT;
  return size < needed ? MLINK_ERR_BUFFER_TOO_SMALL : MLINK_OK;
}

// For commands that take no record.
const void* const kNoRecord = &kNoRecord;

}  // namespace

extern "C" MLINK_API int32_t MLINK_CALL mlink_reset_settings(mlink_meter* meter) {
  return OnMeter(meter, kNoRecord, [](Meter& m) { return ResetSettings(m); });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_reset_wavelengths(mlink_meter* meter) {
  return OnMeter(meter, kNoRecord, [](Meter& m) { return ResetWavelengths(m); });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_identity(mlink_meter* meter, IdnInfo* info) {
  return OnMeter(meter, info, [info](Meter& m) { return QueryIdentity(m, *info); });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_measure(mlink_meter* meter, Reading* reading) {
  return OnMeter(meter, reading, [reading](Meter& m) { return QueryMeasurement(m, *reading); });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_get_wavelength_list(mlink_meter* meter,
                                                                  WaveEntry* entries,
                                                                  size_t count) {
  return OnFreeMeter(
      meter, [&] { return CheckBuffer(entries, count, MLINK_WAVE_LIST_SIZE); },
      [entries](MeterHandle& handle) {
        // Built aside: on failure the caller's entries are left as they were.
        WaveEntry list[MLINK_WAVE_LIST_SIZE];
        std::memcpy(list, entries, sizeof list);
        const int32_t result = QueryWaveList(handle.link, list);
        if (result == MLINK_OK) std::memcpy(entries, list, sizeof list);
        return result;
      });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_get_sensor(mlink_meter* meter, char* text,
                                                         size_t size) {
  return OnFreeMeter(
      meter, [&] { return CheckBuffer(text, size, 1); },
      [text, size](MeterHandle& handle) {
        Meter& m = handle.link;
        const int32_t result = QuerySensor(m);
        if (result != MLINK_OK) return result;
        const char* reply = m.reply_text();
        const std::size_t length = strnlen(reply, kReplyTextSize);
        if (length >= size) {
          text[0] = '\0';
          return static_cast<int32_t>(MLINK_ERR_BUFFER_TOO_SMALL);
        }
        std::memcpy(text, reply, length);
        text[length] = '\0';
        return static_cast<int32_t>(MLINK_OK);
      });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_get_relative(mlink_meter* meter, Reading* reading) {
  return OnMeter(meter, reading, [reading](Meter& m) { return QueryRelative(m, *reading); });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_set_relative_to_current(mlink_meter* meter) {
  return OnMeter(meter, kNoRecord, [](Meter& m) { return SetRelativeToCurrent(m); });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_set_relative(mlink_meter* meter,
                                                           const Reading* reading) {
  return OnMeter(meter, reading, [reading](Meter& m) { return SetRelative(m, *reading); });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_get_mode(mlink_meter* meter, ModeSettings* settings) {
  return OnMeter(meter, settings, [settings](Meter& m) { return QueryMode(m, *settings); });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_set_mode(mlink_meter* meter,
                                                       const ModeSettings* settings) {
  return OnMeter(meter, settings, [settings](Meter& m) { return SetMode(m, *settings); });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_get_averaging(mlink_meter* meter, int32_t* count) {
  return OnMeter(meter, count, [count](Meter& m) { return QueryAveraging(m, *count); });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_set_averaging(mlink_meter* meter, int32_t count) {
  return OnMeter(meter, kNoRecord, [count](Meter& m) { return SetAveraging(m, count); });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_get_range(mlink_meter* meter, int32_t* range) {
  return OnMeter(meter, range, [range](Meter& m) { return QueryRange(m, *range); });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_set_range(mlink_meter* meter, int32_t range) {
  return OnMeter(meter, kNoRecord, [range](Meter& m) { return SetRange(m, range); });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_get_wavelength(mlink_meter* meter, WaveEntry* entry) {
  return OnMeter(meter, entry, [entry](Meter& m) { return QueryWave(m, *entry); });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_set_wavelength(mlink_meter* meter,
                                                             const WaveEntry* entry) {
  return OnMeter(meter, entry, [entry](Meter& m) { return SetWave(m, *entry); });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_get_aps(mlink_meter* meter, int32_t* on) {
  return OnMeter(meter, on, [on](Meter& m) { return QueryAps(m, *on); });
}

extern "C" MLINK_API int32_t MLINK_CALL mlink_set_aps(mlink_meter* meter, int32_t on) {
  return OnMeter(meter, kNoRecord, [on](Meter& m) { return SetAps(m, on); });
}
