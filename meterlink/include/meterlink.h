/*
 * Meterlink: the LX40 meter command library.
 *
 * It finds which attached USB devices are LX40 meters, keeps a table of them
 * keyed by serial number, and exchanges the meter's text commands and raw
 * bytes with the selected meter over its two bulk pipes (opened by Bulkpipe).
 *
 * Every export returns a result code (mlink.h). Every buffer belongs to the
 * caller and is only used during the call; a null pointer gives -1 before
 * any I/O unless the function says otherwise. This interface keeps one
 * device table and one selected meter for the whole process: one calling
 * thread at a time. It may be used beside the handle API of mlink.h (other
 * threads driving other meters): the table passes over meters open through
 * a handle or in another program, as if they were not attached, and never
 * closes them.
 *
 * Calling convention: cdecl (MLINK_CALL), as for the handle API.
 *
 * Windows: Meterlink.dll exports each function by name and by the ordinal
 * given below (meterlink.def); callers may import by ordinal only.
 * Linux: libmeterlink.so exports the same names.
 */
#ifndef LX40_METERLINK_METERLINK_H
#define LX40_METERLINK_METERLINK_H

#include <stdint.h>

#include "mlink.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Device table and selection ---------------------------------------- */

/* Ordinal 22. Opens both pipes of every device position Bulkpipe reports,
 * keeps the positions that answer "QPID" with "LX40" and reads each one's
 * serial number from its "IDN" reply. 1: at least one meter, none selected.
 * -2: a table already exists (it is kept), no device position, a pipe could
 * not be opened, the table could not be allocated, or a "QPID" exchange
 * failed in transport; -4: a "QPID" reply without CR; -6: no LX40 found.
 * On any result but 1 (except "table already exists") no table is left and
 * no pipe is open. */
MLINK_API int32_t MLINK_CALL OpenAllDevice(void);

/* Ordinal 23. Closes every pipe, frees the table, clears the selection.
 * -2 when there is no table. */
MLINK_API int32_t MLINK_CALL CloseAllDevice(void);

/* Ordinal 24. Writes the number of meters in the table to *count.
 * -1: count is null; -2: no table. */
MLINK_API int32_t MLINK_CALL GetAllDeviceNum(int32_t* count);

/* Ordinal 25. Writes the next meter's serial number (at most 11 characters)
 * or "SN_END" after the last one into serial, which must hold 12 bytes; the
 * call after "SN_END" starts again at the first meter.
 * -1: serial is null; -2: no table. */
MLINK_API int32_t MLINK_CALL GetAllDeviceSerialNo(char* serial);

/* Ordinal 26. Makes the meter with this serial number the current one for
 * every later exchange. The buffer must hold at least 10 bytes: a NUL is
 * written at index 9, so the caller's text is cut to 9 characters in place,
 * and those (at most 9) characters are compared with the first 9 characters
 * of each meter's serial number. An empty text matches no meter.
 * -1: serial is null; -2: no table or no such meter (selection unchanged). */
MLINK_API int32_t MLINK_CALL SelectOneDevice(char* serial);

/* Ordinal 1. Sends "RESET_USBLX40" to the current meter, without battery
 * check. 1 when the meter answers "LX40", -6 for another answer, otherwise
 * the exchange's code (-2 with no meter selected). */
MLINK_API int32_t MLINK_CALL ResetDeviceUSB(void);

/* ---- Meter commands (ordinals 2 to 15) ----------------------------------
 * ResetAllData 2, ResetAllWave 3, QUES_IDN 4, QUES_MeasData 5,
 * QUES_AllWave 6, QUES_Sensor 7, QUES_Rel 8, SET_Rel0 9, SET_Rel1 10,
 * SQ_Mode 11, SQ_Ave 12, SQ_Range 13, SQ_Wave 14, SQ_Aps 15 are declared in
 * meter_commands.h, included here; their records are mlink.h's. Ordinals
 * 16 and 17 stay empty.
 */
#include "meter_commands.h"

/* ---- Command exchange with the current meter ---------------------------- */

/* Ordinal 18. Sends a text command (command != NULL) as the text and LF in
 * one write, then, when reply != NULL, reads the reply line into reply with
 * its CR and everything after it removed.
 * command only: 1 after the write ("HOSEI" is sent this way; nothing read).
 * reply only: receive only. Both null: 0, no I/O.
 * -2: command longer than 100 characters (nothing written), no meter
 * selected, write failed, read failed (reply then becomes ""), or the meter
 * never stopped sending; -4: the reply has no CR (reply left untouched).
 * The reply text is at most 63 characters: the call writes at most
 * strlen(reply) + 1 <= 64 bytes into reply. A 64-byte buffer holds any
 * reply; a smaller buffer must hold the longest reply the caller accepts
 * from the meter it talks to, because a longer one would not fit. */
MLINK_API int32_t MLINK_CALL USBComd_SendRecv(const char* command, char* reply);

/* Ordinal 19. Writes the low byte of value to the command pipe in one
 * write. 1 on success, 0 when the write fails or no meter is selected. */
MLINK_API int32_t MLINK_CALL sendUSBBin(int32_t value);

/* Ordinal 20. Writes count bytes from data to the command pipe in one
 * write. count is a signed 8-bit quantity (only its low byte counts), so a
 * block is 1 to 127 bytes; a count of 0 or a low byte of 128 to 255 gives 0
 * without any I/O. 1 on success, 0 on failure, -1 when data is null. */
MLINK_API int32_t MLINK_CALL sendUSBBytes(const uint8_t* data, int32_t count);

/* Ordinal 21. out == NULL, receive: reads the meter's answer from the reply
 * pipe, 64 bytes per read, until a read completes with no byte; the bytes
 * of the last non-empty block are then on hand, from the first. 1 on
 * success; 0 when a read fails or the meter never stops sending (then no
 * byte is on hand).
 * out != NULL, take: stores the next byte on hand into *out and returns 1;
 * no I/O. When no byte is left on hand (the answer carried none, or all were
 * taken) it returns 0 and leaves *out untouched, so an empty answer is never
 * mistaken for a byte. */
MLINK_API int32_t MLINK_CALL recvUSBBin(uint8_t* out);

#ifdef __cplusplus
}
#endif

#endif
