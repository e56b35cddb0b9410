/*
 * Meterlink's meter commands (ordinals 2 to 15): identification, readings,
 * the wavelength list, the measurement settings, the relative reference and
 * the resets, each one exchange (ten for QUES_AllWave) with the meter made
 * current by SelectOneDevice.
 *
 * Common rules:
 * - A null pointer gives -1 and nothing is sent. SQ_ functions take a mode
 *   flag first: 1 = query (the meter's setting into the record), 0 = set
 *   (the record to the meter); any other flag gives -1, nothing sent.
 * - Every command is preceded by the battery check ("BTRY"): -5 when the
 *   battery is low, and the command is not sent.
 * - The meter's error replies: "CMD_ERR" -4, "DATA_ERR" -1, "NO_SENSER" and
 *   "MEM_ERR" -7, "MODE_ERR" -10. Transport failures -2; a reply without CR,
 *   or one that is not what the command expects, -4.
 * - On any result but 1 the caller's record is left as it was, except where
 *   a function says otherwise (QUES_AllWave).
 * - A command is sent only when every parameter can be written in its
 *   field; a value that cannot be gives -1 and nothing is sent.
 * - "expects OK": the reply "OK" gives 1, any other reply -4.
 *
 * Unit codes (Reading.unit): 9 dB, 10 W, 11 mW, 12 uW, 13 nW; 14 asks for
 * the unit that suits the reading (queries only).
 */
#ifndef LX40_METERLINK_METER_COMMANDS_H
#define LX40_METERLINK_METER_COMMANDS_H

#include <stdint.h>

/* The records (Reading, WaveEntry, ModeSettings, IdnInfo), the result codes
 * and MLINK_API / MLINK_CALL. */
#include "mlink.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Ordinal 2. "RESET_SETDATA": the meter's settings back to their defaults.
 * Expects OK. */
MLINK_API int32_t MLINK_CALL ResetAllData(void);

/* Ordinal 3. "RESET_WVLEN": the meter's wavelength list back to its
 * defaults. Expects OK. */
MLINK_API int32_t MLINK_CALL ResetAllWave(void);

/* Ordinal 4. "IDN": maker, model, serial number and version into *info.
 * A reply with fewer than four fields, or a version field of fewer than
 * three characters, gives -4. */
MLINK_API int32_t MLINK_CALL QUES_IDN(IdnInfo* info);

/* Ordinal 5. "GET_MESRDATA": the current reading, converted to the unit
 * requested in reading->unit; the unit used is stored back. A reading the
 * meter marks over range, under range or overload stores 1.0e10, -1.0e10 or
 * 1.0e11 in value and leaves unit as it was. -10: the meter has no reading
 * (mark N); -1: the reading cannot be given in the requested unit (a dB
 * reading in a linear unit or the reverse, a code outside 9 to 14); -4: the
 * reply is not a reading. */
MLINK_API int32_t MLINK_CALL QUES_MeasData(Reading* reading);

/* Ordinal 6. "GET_WAVELEN:0" to "GET_WAVELEN:9" into entries[0..9] (an
 * array of MLINK_WAVE_LIST_SIZE entries); one battery check, before the
 * first. The first failure ends the walk and is returned: the entries
 * before it keep what they received, that entry and the later ones are
 * untouched. A reply without a decimal integer and a decimal real as its
 * first two fields gives -4. */
MLINK_API int32_t MLINK_CALL QUES_AllWave(WaveEntry* entries);

/* Ordinal 7. "GET_SENSER": the meter's whole reply text (at most 63
 * characters and the NUL) into text, which must hold
 * MLINK_SENSOR_TEXT_SIZE bytes. */
MLINK_API int32_t MLINK_CALL QUES_Sensor(char* text);

/* Ordinal 8. "GET_REL": the relative reference, as QUES_MeasData. */
MLINK_API int32_t MLINK_CALL QUES_Rel(Reading* reading);

/* Ordinal 9. "SET_REL0". Expects OK. */
MLINK_API int32_t MLINK_CALL SET_Rel0(void);

/* Ordinal 10. "SET_REL1:<reading>": value in unit (9 to 13) as the meter's
 * seven-character reading text (-10.5 dB goes out as "-010509"). -1 and
 * nothing sent for another unit or a value that cannot be written: NaN or
 * infinite, beyond +-199.99 dB, a negative linear value or one of 2000 mW
 * or more. Expects OK. */
MLINK_API int32_t MLINK_CALL SET_Rel1(const Reading* reading);

/* Ordinal 11. Query "GET_MODE" (five fields: wavelength and four keywords)
 * or set "SET_MODE:<wavelength>,<relative>,<hold>,<range>,<unit>". A set
 * checks range mode, relative mode, hold and unit in that order and the
 * wavelength's five-digit field; any failure gives -1, nothing sent. A set
 * answered "WAVE_ERR" gives -10. */
MLINK_API int32_t MLINK_CALL SQ_Mode(int32_t flag, ModeSettings* settings);

/* Ordinal 12. Averaging count: query "GET_AVE" (a decimal integer), set
 * "SET_AVE:<five-digit signed field>" (-19999 to 19999; expects OK). */
MLINK_API int32_t MLINK_CALL SQ_Ave(int32_t flag, int32_t* value);

/* Ordinal 13. Range: as SQ_Ave with "GET_RANGE" and "SET_RANGE". */
MLINK_API int32_t MLINK_CALL SQ_Range(int32_t flag, int32_t* value);

/* Ordinal 14. Current wavelength: query "GET_WAVELEN" (a decimal integer
 * and a decimal real), set "SET_WAVELEN:<+dddd>,<+dd.ddd>" (wavelength
 * -9999 to 9999, value -19.999 to 19.999, else -1 and nothing sent;
 * expects OK, so a meter's "WAVE_ERR" gives -4). */
MLINK_API int32_t MLINK_CALL SQ_Wave(int32_t flag, WaveEntry* entry);

/* Ordinal 15. Auto power save, *on 1 or 0: query "GET_APS" ("ON" or
 * "OFF", exactly; anything else -4), set "SET_APS:ON" or "SET_APS:OFF"
 * (any other *on: -1, nothing sent; expects OK). */
MLINK_API int32_t MLINK_CALL SQ_Aps(int32_t flag, int32_t* on);

#ifdef __cplusplus
}
#endif

#endif
