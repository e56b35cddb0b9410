/*
 * mlink.h: Meterlink's public C interface for LX40 optical power meters.
 *
 * This header is self-sufficient: it needs nothing but a C99 or C++ compiler
 * and <stddef.h>/<stdint.h>. It declares
 *   - the result codes, unit codes, mode keywords and reading marks shared by
 *     every Meterlink function,
 *   - the records the meter commands fill (IdnInfo, Reading, WaveEntry,
 *     ModeSettings), and
 *   - the handle API (prefix mlink_): each meter is an opaque mlink_meter,
 *     opened by its serial number and used on its own, so a program can drive
 *     many meters at once, one thread per meter.
 * The older ordinal interface (meterlink.h: OpenAllDevice, SelectOneDevice,
 * USBComd_SendRecv, QUES_IDN, ...) includes this header; both may be used in
 * one program.
 *
 * Linking. Windows: Meterlink.dll exports every mlink_ function by its
 * undecorated name and by a fixed ordinal (40 and up; see the list at the end
 * of this header); link with the import library or load the DLL and look the
 * names up. 32-bit programs use the 32-bit Meterlink.dll of the x86 folder.
 * Linux: libmeterlink.so, by name.
 *
 * Calling convention. Every function is cdecl (MLINK_CALL), the C default, on
 * 32-bit and 64-bit Windows alike. A 32-bit caller whose compiler or tool
 * assumes another convention (stdcall is common in some environments) must
 * declare these functions as cdecl, or its stack is corrupted on return.
 *
 * Results. Every function that can fail returns an int32_t result code
 * (mlink_result): MLINK_OK (1) on success, MLINK_DONE (2) at the end of a
 * table load, otherwise a code of zero or below. mlink_strerror gives a
 * constant English text for any code.
 *
 * Buffers. Every buffer is the caller's and is used only during the call; its
 * size in bytes is passed with it, and no function writes more than that many
 * bytes. A text that does not fit is an error (MLINK_ERR_BUFFER_TOO_SMALL),
 * never a silently shortened success. Null pointers are refused with
 * MLINK_BAD_ARGUMENT before anything is sent to a meter.
 *
 * Handles. An mlink_meter is looked up before every use: a null, closed or
 * made-up handle gives MLINK_ERR_INVALID_HANDLE (checked before the other
 * arguments), never a use of freed memory. Handle values are not reused.
 *
 * Threads. Functions that take no mlink_meter (enumerate, open, close,
 * strerror, table check, version) may be called from any thread at any time.
 * Different meters may be used from different threads at the same time. One
 * meter must be used by one thread at a time: calls on the same mlink_meter
 * from two threads at once are not allowed (the library does not serialise
 * them). mlink_close may be called while another thread's call on the same
 * meter is still running: calls begun after mlink_close give
 * MLINK_ERR_INVALID_HANDLE at once, the running call completes as it would
 * have, and the meter's pipes, its lock and its registration in this process
 * are released together when that last call has returned.
 *
 * Sharing. A meter is used by one user at a time. A meter open through this
 * API, or through the ordinal interface's device table, in this process is
 * refused by mlink_open with MLINK_ERR_ALREADY_OPEN; a meter in use by
 * another process (another program using Meterlink) is passed over by the
 * listings and mlink_open as if it were not attached, and refused by the
 * opens by place with MLINK_ERR_IN_USE_ELSEWHERE. No function ever sends a
 * byte to a meter that is open elsewhere. Across processes each open meter
 * holds a lock file named from its interface path ("lx40-meter-<hash>.lock"
 * in the folder named by the environment variable LX40_METER_LOCK_DIR, else
 * in the temp folder on POSIX systems and in %ProgramData%\LX40\locks on
 * Windows, one folder for every user and session of the PC, made with an
 * access list that lets every user take the locks). On POSIX systems the
 * lock file needs only read access and is made readable by every user; a
 * symbolic link in its place is never followed. On Windows the lock is the
 * file opened with no sharing, and the meter's pipes are opened with no
 * sharing too. A lock
 * file that cannot be opened or made for another reason than another
 * program holding it (no such folder, no access, a symbolic link) is not
 * taken for "no meter": the listing and opening calls give
 * MLINK_ERR_LOCK_FAILED and mlink_last_error_detail names the file and the
 * cause. A meter this process left in the middle of a table (see the table
 * load) is sent no byte by any later listing or open until it has been
 * plugged in again (MLINK_ERR_NEEDS_REPLUG, MLINK_INFO_NEEDS_REPLUG).
 * CloseAllDevice never closes a meter opened here, and mlink_close never
 * touches the device table.
 */
#ifndef MLINK_H
#define MLINK_H

#include <stddef.h>
#include <stdint.h>

/* ---- Linkage ------------------------------------------------------------- */

#ifndef MLINK_API
#if defined(_WIN32)
#define MLINK_API
#else
#define MLINK_API __attribute__((visibility("default")))
#endif
#endif

#ifndef MLINK_CALL
#if defined(_WIN32) && (defined(__i386__) || defined(_M_IX86))
#define MLINK_CALL __cdecl
#else
#define MLINK_CALL
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Version ------------------------------------------------------------- */

/* The version of this header's interface. mlink_version() returns the
 * version of the library actually loaded, as MLINK_MAKE_VERSION gives it. */
#define MLINK_VERSION_MAJOR 1
#define MLINK_VERSION_MINOR 1
#define MLINK_VERSION_PATCH 0
#define MLINK_MAKE_VERSION(major, minor, patch) \
  ((uint32_t)(((uint32_t)(major) << 16) | ((uint32_t)(minor) << 8) | (uint32_t)(patch)))
#define MLINK_VERSION \
  MLINK_MAKE_VERSION(MLINK_VERSION_MAJOR, MLINK_VERSION_MINOR, MLINK_VERSION_PATCH)

/* ---- Result codes -------------------------------------------------------- */

/* The values are part of the binary interface and never change. Codes 1 to
 * -10 are the ordinal interface's own; the handle API adds -20 and below. */
enum mlink_result {
  MLINK_OK = 1,                /* success */
  MLINK_DONE = 2,              /* mlink_load_step: the meter acknowledged the whole table */
  MLINK_RAW_FAILED = 0,        /* a raw transfer failed (ordinal interface) */
  MLINK_BAD_ARGUMENT = -1,     /* null pointer, bad flag or value; the meter's "DATA_ERR" */
  MLINK_TRANSPORT_FAILED = -2, /* write or read failed, meter unplugged, command too long */
  MLINK_NOT_RECOGNISED = -4,   /* no CR in the reply, the meter's "CMD_ERR", unexpected reply */
  MLINK_BATTERY_LOW = -5,      /* the meter answered "BATERY_LO" to "BTRY" */
  MLINK_NOT_A_METER = -6,      /* "QPID" not answered with "LX40"; no meter found */
  MLINK_SENSOR_OR_MEMORY = -7, /* the meter's "NO_SENSER" or "MEM_ERR" */
  MLINK_MODE_OR_NO_DATA = -10, /* the meter's "MODE_ERR" or "WAVE_ERR"; a reading without data */

  MLINK_ERR_INVALID_HANDLE = -20,   /* null, closed or unknown mlink_meter */
  MLINK_ERR_NO_SUCH_METER = -21,    /* no attached, free LX40 has this serial number */
  MLINK_ERR_ALREADY_OPEN = -22,     /* the meter is already open in this process */
  MLINK_ERR_BUFFER_TOO_SMALL = -23, /* the reply or answer does not fit the caller's buffer */
  MLINK_ERR_TABLE_SIZE = -24,       /* table: size field differs from the bytes given */
  MLINK_ERR_TABLE_RECORDS = -25,    /* table: record count does not match its size */
  MLINK_ERR_TABLE_CRC = -26,        /* table: CRC-16 of its bytes does not match its trailer */
  MLINK_ERR_TABLE_SLOT = -27,       /* table: slot outside 0 to MLINK_SLOT_COUNT - 1 */
  MLINK_ERR_LOAD_STATE = -28,       /* no table load in progress, or one is and the call
                                       needs the meter free */
  MLINK_ERR_HANDSHAKE = -29,        /* table load: wrong echo or no acknowledgement */
  MLINK_ERR_NO_ANSWER = -30,        /* table load: the meter stopped answering */
  MLINK_ERR_LOAD_ABANDONED = -31,   /* a load was stopped mid-table: the meter still expects
                                       table bytes; unplug it and plug it in again */
  MLINK_ERR_NO_MEMORY = -32,        /* the library could not allocate memory */
  MLINK_ERR_LOCK_FAILED = -33,      /* the meter's lock file could not be opened or made for
                                       another reason than another program holding it (no
                                       such folder, no access): mlink_last_error_detail
                                       names the file and the cause */
  MLINK_ERR_NEEDS_REPLUG = -34,     /* the meter was left in the middle of a table by this
                                       process: unplug it and plug it in again */
  MLINK_ERR_REPLUGGED = -35,        /* a meter was unplugged and plugged in again (or another
                                       one plugged in) at that place since it was listed */
  MLINK_ERR_IN_USE_ELSEWHERE = -36, /* mlink_open_path, mlink_open_port: the meter there is
                                       open in another program (its lock is held) */
  MLINK_ERR_NO_PERMISSION = -45     /* the meter is attached but this user may not open its
                                       device file (Linux: install the udev rules);
                                       mlink_last_error_detail names the file */
};

/* A constant English text for `code` (never null; an unknown code gives a
 * text saying so). */
MLINK_API const char* MLINK_CALL mlink_strerror(int32_t code);

/* The loaded library's version, MLINK_MAKE_VERSION(major, minor, patch). */
MLINK_API uint32_t MLINK_CALL mlink_version(void);

/* What the last failing call of this thread had to say beyond its code (the
 * lock file and the system's reason for MLINK_ERR_LOCK_FAILED, the place for
 * MLINK_ERR_NEEDS_REPLUG, ...), as a NUL-terminated English text in
 * text[0..size-1]; "" when there is nothing more to say. A call that
 * succeeds leaves the text of the last failure. MLINK_ERR_BUFFER_TOO_SMALL
 * (text "") when it does not fit; MLINK_BAD_ARGUMENT for a null text or
 * size 0. Available since 1.1.0. */
MLINK_API int32_t MLINK_CALL mlink_last_error_detail(char* text, size_t size);

/* ---- Units, mode keywords and reading marks ------------------------------ */

/* Reading.unit. On a query MLINK_UNIT_AUTO asks for the unit that suits the
 * reading; the unit used is stored back. */
enum mlink_unit {
  MLINK_UNIT_DB = 9,
  MLINK_UNIT_W = 10,
  MLINK_UNIT_MW = 11,
  MLINK_UNIT_UW = 12,
  MLINK_UNIT_NW = 13,
  MLINK_UNIT_AUTO = 14
};

/* The measurement mode keywords (ModeSettings fields hold these indices; a
 * query stores MLINK_MODE_UNKNOWN for a keyword it does not recognise). */
enum mlink_mode_keyword {
  MLINK_MODE_UNKNOWN = -1,
  MLINK_MODE_REL0 = 0, /* relativeMode */
  MLINK_MODE_REL1 = 1,
  MLINK_MODE_ABS = 2,
  MLINK_MODE_HOLD_OFF = 3, /* hold */
  MLINK_MODE_HOLD_MAX = 4,
  MLINK_MODE_HOLD_MIN = 5,
  MLINK_MODE_HOLD_AVE = 6,
  MLINK_MODE_RANGE_MANUAL = 7, /* rangeMode */
  MLINK_MODE_RANGE_AUTO = 8
  /* unit: MLINK_UNIT_DB, or on a set MLINK_UNIT_W to MLINK_UNIT_NW */
};

/* Values stored in Reading.value for a reading the meter marks instead of
 * measuring (the unit is then left as it was). Compare with ==. */
#define MLINK_READING_OVER_RANGE 1.0e10f
#define MLINK_READING_UNDER_RANGE (-1.0e10f)
#define MLINK_READING_OVERLOAD 1.0e11f

/* ---- Records ------------------------------------------------------------- */

/* A reading or relative reference. */
typedef struct Reading {
  float value;
  int32_t unit; /* enum mlink_unit */
} Reading;

/* A wavelength and the number the meter keeps with it (three decimals on the
 * wire, -19.999 to 19.999). */
typedef struct WaveEntry {
  int32_t wavelength; /* nm */
  float value;
} WaveEntry;

/* The measurement mode: wavelength and four keyword indices. */
typedef struct ModeSettings {
  int32_t wavelength; /* nm, -19999 to 19999 on a set */
  int32_t relativeMode;
  int32_t hold;
  int32_t rangeMode;
  int32_t unit;
} ModeSettings;

/* The meter's identification: four NUL-terminated texts, each cut to fit.
 * version is "d.dd", made from the first three characters of the meter's
 * version field ("100" gives "1.00"). */
typedef struct IdnInfo {
  char maker[30];
  char model[30];
  char serial[15];
  char version[5];
} IdnInfo;

#define MLINK_WAVE_LIST_SIZE 10
#define MLINK_SENSOR_TEXT_SIZE 64
/* The longest text reply a meter gives is 63 characters; with the NUL it fits
 * MLINK_REPLY_SIZE bytes. */
#define MLINK_REPLY_SIZE 64
/* Sensor data slots of a meter. */
#define MLINK_SLOT_COUNT 7

/* ---- Finding and opening meters ------------------------------------------ */

/* Room for a serial number of up to 47 characters and the NUL. */
#define MLINK_SERIAL_SIZE 48

/* mlink_meter_info.flags */
#define MLINK_INFO_SERIAL_CUT                               \
  0x1u /* the serial number was longer than the field: cut; \
          such a meter cannot be opened by serial */
#define MLINK_INFO_IN_USE                              \
  0x2u /* open in this process (reported from what was \
          read when it was opened; nothing sent) */
/* Since 1.1.0, set by mlink_enumerate_places only: */
#define MLINK_INFO_NEEDS_REPLUG                         \
  0x4u /* left mid-table by this process: nothing sent; \
          the identification is the one last read from it */
#define MLINK_INFO_SERIAL_SHARED                        \
  0x8u /* another meter listed in the same call answers \
          with the same serial number */

typedef struct mlink_meter_info {
  char serial[MLINK_SERIAL_SIZE]; /* the whole serial number from "IDN" */
  char maker[30];                 /* "IDN" fields, as in IdnInfo */
  char model[30];
  char version[5];
  int32_t position; /* device position among the attached meter interfaces */
  uint32_t flags;   /* MLINK_INFO_* */
} mlink_meter_info;

/* Lists the attached LX40 meters (those answering "QPID" with "LX40") into
 * infos[0 .. capacity-1] in device position order and stores in *found how
 * many there are (which may exceed capacity: then only capacity are written).
 * infos may be null when capacity is 0, to count. Meters in use by another
 * process are not listed. Each meter looked at is opened, asked "QPID" and
 * "IDN", and closed again: nothing is left open. MLINK_OK also when none is
 * found (*found 0). A serial number longer than MLINK_SERIAL_SIZE - 1
 * characters is cut to fit and flagged MLINK_INFO_SERIAL_CUT (a 40-character
 * serial fits whole). Meters open in this process are listed from what was
 * read when they were opened, flagged MLINK_INFO_IN_USE, with nothing sent
 * to them. */
MLINK_API int32_t MLINK_CALL mlink_enumerate(mlink_meter_info* infos, size_t capacity,
                                             size_t* found);

/* An open meter. Opaque; valid from mlink_open until mlink_close. */
typedef struct mlink_meter mlink_meter;

/* ---- Where a meter is plugged (since 1.1.0) ------------------------------
 * A meter is known by where it is: its interface path (the operating
 * system's name for the meter's USB interface, the same while it stays
 * plugged and usually again after a re-plug at the same place), its port
 * ("1-2.4": bus 1, port 2 of the root hub, port 4 of the hub there), and a
 * plug generation that differs every time a device is plugged in there.
 * Two meters that answer with one serial number are two places: open the
 * one meant by path or by port. */

#define MLINK_PATH_SIZE 512 /* an interface path and its NUL */
#define MLINK_PORT_SIZE 32  /* a port text and its NUL */

typedef struct mlink_meter_place {
  char path[MLINK_PATH_SIZE]; /* the interface path */
  char port[MLINK_PORT_SIZE]; /* the port; "" when the system cannot tell */
  uint32_t generation;        /* the plug generation (0 when the system cannot tell) */
  uint32_t flags;             /* MLINK_INFO_*, as in info.flags */
  mlink_meter_info info;      /* the identification, as mlink_enumerate lists it */
} mlink_meter_place;

/* Lists the attached LX40 meters as mlink_enumerate does (same order, same
 * rules, one walk), each with its place, into places[0 .. capacity-1];
 * *found receives how many there are (which may exceed capacity). Besides
 * what mlink_enumerate lists, a meter this process left in the middle of a
 * table is listed, flagged MLINK_INFO_NEEDS_REPLUG, with nothing sent to it
 * until it has been plugged in again. Meters listed with the same serial
 * number are all flagged MLINK_INFO_SERIAL_SHARED (when all of them fit in
 * capacity). places may be null when capacity is 0, to count. */
MLINK_API int32_t MLINK_CALL mlink_enumerate_places(mlink_meter_place* places, size_t capacity,
                                                    size_t* found);

/* Lists where the devices with the meter's interface are plugged, without
 * sending a byte to any of them, opening their pipes or taking their locks:
 * each place's path, port and plug generation, in position order, into
 * places[0 .. capacity-1]; *found receives how many there are (which may
 * exceed capacity). A meter open in this process is flagged
 * MLINK_INFO_IN_USE with its identification; one this process left in the
 * middle of a table MLINK_INFO_NEEDS_REPLUG with the one last read from it;
 * one an mlink_open_path of this process is asking right now
 * MLINK_INFO_IN_USE with info all zero; for every other place info is all
 * zero (an unknown device, not yet asked what it is: mlink_open_path asks). Cheap enough to be
 * called several times a second to watch for meters plugged in and pulled out. places may be null
 * when capacity is 0, to count. Available since 1.1.0. */
MLINK_API int32_t MLINK_CALL mlink_list_places(mlink_meter_place* places, size_t capacity,
                                               size_t* found);

/* Opens the LX40 at interface path `path`, as mlink_enumerate_places listed
 * it, and no other: the meter is asked "QPID" and "IDN" as mlink_open asks,
 * and no other meter is sent a byte. `generation` is the listed plug
 * generation, or 0 for whichever meter is plugged there now.
 * MLINK_ERR_NO_SUCH_METER: nothing at that path; MLINK_ERR_IN_USE_ELSEWHERE:
 * open in another program (nothing sent); MLINK_ERR_REPLUGGED: a different plug generation;
 * MLINK_NOT_A_METER: the device there is not an LX40; MLINK_ERR_ALREADY_OPEN;
 * MLINK_ERR_NEEDS_REPLUG: this process left it mid-table; MLINK_ERR_LOCK_FAILED.
 * The meter is asked with no lock of the process held, so one that is slow
 * to answer (or hangs) delays no other call on other meters; meanwhile other
 * listings pass it over (mlink_list_places flags it MLINK_INFO_IN_USE) and
 * another open of it gives MLINK_ERR_ALREADY_OPEN. A path of MLINK_PATH_SIZE characters or more
 * matches nothing; an empty or null one is MLINK_BAD_ARGUMENT. On failure *meter is set to null. */
MLINK_API int32_t MLINK_CALL mlink_open_path(const char* path, uint32_t generation,
                                             mlink_meter** meter);

/* Opens the LX40 plugged at `port` ("1-2.4", as mlink_meter_place.port), as
 * mlink_open_path does for the interface found there. No meter is sent a
 * byte to find it. MLINK_ERR_NO_SUCH_METER when no interface is at that
 * port. */
MLINK_API int32_t MLINK_CALL mlink_open_port(const char* port, mlink_meter** meter);

/* Where an open meter is, as read when it was opened (nothing is sent). */
MLINK_API int32_t MLINK_CALL mlink_get_place(mlink_meter* meter, mlink_meter_place* place);

/* Opens the attached LX40 whose whole serial number equals `serial` (no
 * prefix match, no cut) and stores its handle in *meter.
 * MLINK_ERR_NO_SUCH_METER: none (or it is in use by another process);
 * MLINK_ERR_ALREADY_OPEN: open in this process already, through either
 * interface. A serial of MLINK_SERIAL_SIZE characters or more matches no
 * meter (MLINK_ERR_NO_SUCH_METER, nothing sent); an empty one is
 * MLINK_BAD_ARGUMENT. On failure *meter is set to null. */
MLINK_API int32_t MLINK_CALL mlink_open(const char* serial, mlink_meter** meter);

/* Closes the meter and frees the handle; the handle is invalid at once (a
 * later call with it gives MLINK_ERR_INVALID_HANDLE). The pipes, the lock
 * and the registration are released together when the last call on the
 * meter has returned (see Threads above): at once when none is running. A
 * load in progress is abandoned first (see mlink_load_abort). */
MLINK_API int32_t MLINK_CALL mlink_close(mlink_meter* meter);

/* The meter's identification as read when it was opened (nothing is sent). */
MLINK_API int32_t MLINK_CALL mlink_get_info(mlink_meter* meter, mlink_meter_info* info);

/* ---- Text commands and raw transfers ------------------------------------- */

/* mlink_command flags */
#define MLINK_COMMAND_NO_BATTERY_CHECK 0x1u /* do not send "BTRY" first */
#define MLINK_COMMAND_NO_REPLY 0x2u         /* send only; read no reply (as for "HOSEI") */

/* Sends the text command `command` (1 to 100 printable characters; the frame
 * adds LF) and reads the reply line (up to its CR) into reply[0..reply_size-1]
 * as a NUL-terminated text. Unless MLINK_COMMAND_NO_BATTERY_CHECK is given,
 * "BTRY" is asked first and MLINK_BATTERY_LOW returned (command not sent)
 * when the battery is low. The meter's error replies are mapped: "CMD_ERR"
 * MLINK_NOT_RECOGNISED, "DATA_ERR" MLINK_BAD_ARGUMENT, "NO_SENSER" and
 * "MEM_ERR" MLINK_SENSOR_OR_MEMORY, "MODE_ERR" MLINK_MODE_OR_NO_DATA (the
 * reply text is still stored). A reply without CR gives MLINK_NOT_RECOGNISED.
 * A reply longer than reply_size - 1 gives MLINK_ERR_BUFFER_TOO_SMALL and
 * reply is left "". With MLINK_COMMAND_NO_REPLY reply may be null. A command
 * that is empty, longer than 100 characters or holds a control character,
 * an unknown flag, or a null reply or reply_size 0 without
 * MLINK_COMMAND_NO_REPLY give MLINK_BAD_ARGUMENT (nothing sent). */
MLINK_API int32_t MLINK_CALL mlink_command(mlink_meter* meter, const char* command, char* reply,
                                           size_t reply_size, uint32_t flags);

/* Writes size bytes (1 to MLINK_MAX_SEND) to the meter's command pipe in one
 * write. For callers that speak their own byte protocol. */
#define MLINK_MAX_SEND 4096
MLINK_API int32_t MLINK_CALL mlink_send(mlink_meter* meter, const void* data, size_t size);

/* Receives one whole answer from the meter's reply pipe: every block until a
 * read completes with no byte, appended in order into buffer[0..size-1], and
 * stores the number of bytes in *received. An answer larger than size gives
 * MLINK_ERR_BUFFER_TOO_SMALL with *received set to the answer's full length
 * (the first size bytes are in buffer). A meter that never stops sending is
 * a transport failure. buffer may be null when size is 0. */
MLINK_API int32_t MLINK_CALL mlink_receive(mlink_meter* meter, void* buffer, size_t size,
                                           size_t* received);

/* ---- Battery and sensor data slots --------------------------------------- */

/* "BTRY": *ok = 1 for "BATERY_OK", 0 for "BATERY_LO" (MLINK_OK either way). */
MLINK_API int32_t MLINK_CALL mlink_battery(mlink_meter* meter, int32_t* ok);

/* Battery check, then "TEST": slots[i] = 0 when slot i is empty, 1 when it
 * holds sensor data, for i < MLINK_SLOT_COUNT. slot_count must be at least
 * MLINK_SLOT_COUNT (else MLINK_ERR_BUFFER_TOO_SMALL, nothing sent). A reply
 * other than "TEST:" and a digit per slot is MLINK_NOT_RECOGNISED. */
MLINK_API int32_t MLINK_CALL mlink_slots(mlink_meter* meter, uint8_t* slots, size_t slot_count);

/* ---- Meter commands -------------------------------------------------------
 * Each sends one command (ten for mlink_get_wavelength_list) after the
 * battery check, and maps the replies as mlink_command does. A set whose
 * value cannot be written in the command's field gives MLINK_BAD_ARGUMENT and
 * sends nothing. On failure the caller's record is left as it was. */

MLINK_API int32_t MLINK_CALL mlink_reset_settings(mlink_meter* meter);    /* "RESET_SETDATA" */
MLINK_API int32_t MLINK_CALL mlink_reset_wavelengths(mlink_meter* meter); /* "RESET_WVLEN" */
MLINK_API int32_t MLINK_CALL mlink_identity(mlink_meter* meter, IdnInfo* info); /* "IDN" */
/* "GET_MESRDATA", converted to the unit requested in reading->unit. A marked
 * reading stores MLINK_READING_OVER_RANGE, _UNDER_RANGE or _OVERLOAD;
 * MLINK_MODE_OR_NO_DATA when the meter has no reading. */
MLINK_API int32_t MLINK_CALL mlink_measure(mlink_meter* meter, Reading* reading);
/* "GET_WAVELEN:0" to ":9" into entries (count must be at least
 * MLINK_WAVE_LIST_SIZE, else MLINK_ERR_BUFFER_TOO_SMALL). On failure no
 * entry is changed. */
MLINK_API int32_t MLINK_CALL mlink_get_wavelength_list(mlink_meter* meter, WaveEntry* entries,
                                                       size_t count);
/* "GET_SENSER": the reply text into text[0..size-1]; a reply that does not
 * fit gives MLINK_ERR_BUFFER_TOO_SMALL with text "" (MLINK_SENSOR_TEXT_SIZE
 * bytes hold any reply). */
MLINK_API int32_t MLINK_CALL mlink_get_sensor(mlink_meter* meter, char* text, size_t size);
MLINK_API int32_t MLINK_CALL mlink_get_relative(mlink_meter* meter, Reading* reading);
MLINK_API int32_t MLINK_CALL mlink_set_relative_to_current(mlink_meter* meter); /* "SET_REL0" */
MLINK_API int32_t MLINK_CALL mlink_set_relative(mlink_meter* meter, const Reading* reading);
MLINK_API int32_t MLINK_CALL mlink_get_mode(mlink_meter* meter, ModeSettings* settings);
MLINK_API int32_t MLINK_CALL mlink_set_mode(mlink_meter* meter, const ModeSettings* settings);
MLINK_API int32_t MLINK_CALL mlink_get_averaging(mlink_meter* meter, int32_t* count);
MLINK_API int32_t MLINK_CALL mlink_set_averaging(mlink_meter* meter, int32_t count);
MLINK_API int32_t MLINK_CALL mlink_get_range(mlink_meter* meter, int32_t* range);
MLINK_API int32_t MLINK_CALL mlink_set_range(mlink_meter* meter, int32_t range);
MLINK_API int32_t MLINK_CALL mlink_get_wavelength(mlink_meter* meter, WaveEntry* entry);
MLINK_API int32_t MLINK_CALL mlink_set_wavelength(mlink_meter* meter, const WaveEntry* entry);
MLINK_API int32_t MLINK_CALL mlink_get_aps(mlink_meter* meter, int32_t* on);
MLINK_API int32_t MLINK_CALL mlink_set_aps(mlink_meter* meter, int32_t on);

/* ---- Sensor data tables -------------------------------------------------- *
 * A table, every field big-endian: 0 total size (bytes, trailer included),
 * 2 record count, 4 slot, 6 sensor type code, 8 four header wavelengths
 * (nm), 16 the records (6 bytes each: u16 wavelength in nm, f32
 * coefficient), then the CRC-16/CCITT-FALSE of every byte before it. */

/* The pause, in milliseconds, a meter needs after storing a table
 * (mlink_load_step gave MLINK_DONE) before it takes the next table or
 * command. */
#define MLINK_SETTLE_MS 3000

#define MLINK_TABLE_HEADER_SIZE 16
#define MLINK_TABLE_RECORD_SIZE 6
#define MLINK_TABLE_TRAILER_SIZE 2
#define MLINK_TABLE_MAX_SIZE 65535

typedef struct mlink_table_info {
  uint16_t total_size;
  uint16_t records;
  uint16_t slot;
  uint16_t type_code;
  uint16_t header_wavelengths[4];
  uint16_t min_wavelength; /* lowest and highest record wavelength, nm */
  uint16_t max_wavelength;
  uint16_t crc;
} mlink_table_info;

/* Checks a table's bytes: size field equal to size, record count matching
 * it, at least one record, slot below MLINK_SLOT_COUNT, CRC right (in this
 * order; the first fault is returned). info (may be null) receives the
 * header fields; it is filled as far as they could be read, also on a
 * fault. */
MLINK_API int32_t MLINK_CALL mlink_table_check(const void* table, size_t size,
                                               mlink_table_info* info);

/* ---- Loading a sensor data table ------------------------------------------
 * A load is a sequence of steps driven by the caller, with no callback:
 *
 *   rc = mlink_load_begin(meter, table, size);        checks, sends nothing
 *   while (rc == MLINK_OK) {
 *     rc = mlink_load_step(meter);                    one exchange
 *     mlink_load_progress(meter, &done, &total);      for a progress bar
 *     (to cancel: stop calling mlink_load_step, call mlink_load_abort)
 *   }
 *   rc == MLINK_DONE: the meter checked the CRC and stored the table.
 *
 * The steps: "HOSEI"; the 16 header bytes, each echoed, and the 0x55
 * handshake; each record (one step per record); the trailer and the meter's
 * acknowledgement. begin copies the table, so the caller's buffer is free
 * afterwards. The table is not checked by the meter until the trailer: a
 * load that ends early stores nothing and leaves the slot as it was.
 *
 * After a failed step the load is over (later steps give
 * MLINK_ERR_LOAD_STATE). A meter that stops answering fails the load with
 * MLINK_ERR_NO_ANSWER: at once where an answer must carry a byte (an echo,
 * a handshake, the trailer's acknowledgement), and by the third answer in a
 * row without a byte where an answer is only waited for (before each
 * record); a single empty answer there is tolerated. Nothing more is written
 * to it. A write that fails gives MLINK_TRANSPORT_FAILED.
 *
 * The battery and the slot are the caller's to check before begin
 * (mlink_slots); after MLINK_DONE the meter needs a pause of MLINK_SETTLE_MS
 * before the next table or command.
 *
 * Stopping between steps: mlink_load_abort ends the load on the host side.
 * The meter is then still in the middle of the table, waiting for its bytes:
 * every later command to it on this handle gives MLINK_ERR_LOAD_ABANDONED.
 * Close the handle, unplug the meter and plug it in again before its next
 * use. A load that failed after "HOSEI" went out leaves the meter in the
 * same state, except when the meter refused the trailer (MLINK_ERR_HANDSHAKE
 * on the last step: the meter ended the load itself and takes commands). While
 * a load is in progress, every call that talks to the meter gives
 * MLINK_ERR_LOAD_STATE. */

/* Checks the table (as mlink_table_check) and arms the load; sends nothing.
 * MLINK_ERR_LOAD_STATE when a load is already in progress,
 * MLINK_ERR_LOAD_ABANDONED after an abandoned one. */
MLINK_API int32_t MLINK_CALL mlink_load_begin(mlink_meter* meter, const void* table, size_t size);

/* Runs the next step: MLINK_OK (more steps follow), MLINK_DONE (the table
 * is stored; the load is over), or a failure code (the load is over). */
MLINK_API int32_t MLINK_CALL mlink_load_step(mlink_meter* meter);

/* Steps done and steps in all (records + 3) of the current or last load
 * (0 and 0 before the first). */
MLINK_API int32_t MLINK_CALL mlink_load_progress(mlink_meter* meter, uint32_t* done,
                                                 uint32_t* total);

/* Ends a load in progress between steps (see above). MLINK_ERR_LOAD_STATE
 * when none is in progress. Before the first step nothing was sent and the
 * meter stays usable. */
MLINK_API int32_t MLINK_CALL mlink_load_abort(mlink_meter* meter);

/* ---- Ordinals --------------------------------------------------------------
 * Meterlink.dll ordinals of the handle API (fixed; never reused):
 *   40 mlink_strerror            41 mlink_version            42 mlink_enumerate
 *   43 mlink_open                44 mlink_close              45 mlink_get_info
 *   46 mlink_command             47 mlink_send               48 mlink_receive
 *   49 mlink_battery             50 mlink_slots              51 mlink_reset_settings
 *   52 mlink_reset_wavelengths   53 mlink_identity           54 mlink_measure
 *   55 mlink_get_wavelength_list 56 mlink_get_sensor         57 mlink_get_relative
 *   58 mlink_set_relative_to_current                         59 mlink_set_relative
 *   60 mlink_get_mode            61 mlink_set_mode           62 mlink_get_averaging
 *   63 mlink_set_averaging       64 mlink_get_range          65 mlink_set_range
 *   66 mlink_get_wavelength      67 mlink_set_wavelength     68 mlink_get_aps
 *   69 mlink_set_aps             70 mlink_table_check        71 mlink_load_begin
 *   72 mlink_load_step           73 mlink_load_progress      74 mlink_load_abort
 * Since 1.1.0:
 *   75 mlink_enumerate_places    76 mlink_open_path          77 mlink_open_port
 *   78 mlink_get_place           79 mlink_last_error_detail
 * Ordinals 80 to 84 are kept for later additions of this version range.
 *   85 mlink_list_places
 */

#ifdef __cplusplus
}
#endif

#endif /* MLINK_H */
