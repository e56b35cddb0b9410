"""Meterlink's handle API as ctypes sees it: codes, records and prototypes.

Everything here mirrors meterlink/include/mlink.h, which is the contract.
Every function is cdecl on every platform, so the library is always loaded
with ``ctypes.CDLL`` (never ``WinDLL``, whose stdcall would corrupt a 32-bit
caller's stack on return).
"""

from __future__ import annotations

import ctypes
from ctypes import (
    POINTER,
    Structure,
    c_char,
    c_char_p,
    c_float,
    c_int32,
    c_size_t,
    c_uint8,
    c_uint16,
    c_uint32,
    c_void_p,
)
from typing import Any, Dict, Optional, Tuple

# ---- Version ---------------------------------------------------------------

#: The interface version this package was written against.
VERSION_MAJOR = 1
VERSION_MINOR = 1

# ---- Result codes ----------------------------------------------------------

OK = 1
DONE = 2
RAW_FAILED = 0
BAD_ARGUMENT = -1
TRANSPORT_FAILED = -2
NOT_RECOGNISED = -4
BATTERY_LOW = -5
NOT_A_METER = -6
SENSOR_OR_MEMORY = -7
MODE_OR_NO_DATA = -10
ERR_INVALID_HANDLE = -20
ERR_NO_SUCH_METER = -21
ERR_ALREADY_OPEN = -22
ERR_BUFFER_TOO_SMALL = -23
ERR_TABLE_SIZE = -24
ERR_TABLE_RECORDS = -25
ERR_TABLE_CRC = -26
ERR_TABLE_SLOT = -27
ERR_LOAD_STATE = -28
ERR_HANDSHAKE = -29
ERR_NO_ANSWER = -30
ERR_LOAD_ABANDONED = -31
ERR_NO_MEMORY = -32
ERR_LOCK_FAILED = -33
ERR_NEEDS_REPLUG = -34
ERR_REPLUGGED = -35
ERR_IN_USE_ELSEWHERE = -36
ERR_NO_PERMISSION = -45

# ---- Units, mode keywords, marks -------------------------------------------

UNIT_DB = 9
UNIT_W = 10
UNIT_MW = 11
UNIT_UW = 12
UNIT_NW = 13
UNIT_AUTO = 14

MODE_UNKNOWN = -1

# The sentinels are single-precision values; a reading comes back as the
# float nearest to them, so they are compared after the same rounding.
READING_OVER_RANGE = c_float(1.0e10).value
READING_UNDER_RANGE = c_float(-1.0e10).value
READING_OVERLOAD = c_float(1.0e11).value

# ---- Sizes -----------------------------------------------------------------

WAVE_LIST_SIZE = 10
SENSOR_TEXT_SIZE = 64
REPLY_SIZE = 64
SLOT_COUNT = 7
SERIAL_SIZE = 48
PATH_SIZE = 512
PORT_SIZE = 32
MAX_SEND = 4096
TABLE_HEADER_SIZE = 16
TABLE_RECORD_SIZE = 6
TABLE_TRAILER_SIZE = 2
TABLE_MAX_SIZE = 65535

#: MLINK_SETTLE_MS: the pause a meter needs after storing a table.
SETTLE_MS = 3000

INFO_SERIAL_CUT = 0x1
INFO_IN_USE = 0x2
INFO_NEEDS_REPLUG = 0x4
INFO_SERIAL_SHARED = 0x8

COMMAND_NO_BATTERY_CHECK = 0x1
COMMAND_NO_REPLY = 0x2

INT32_MIN = -(2**31)
INT32_MAX = 2**31 - 1

# ---- Records ---------------------------------------------------------------


class Reading(Structure):
    _fields_ = [("value", c_float), ("unit", c_int32)]


class WaveEntry(Structure):
    _fields_ = [("wavelength", c_int32), ("value", c_float)]


class ModeSettings(Structure):
    _fields_ = [
        ("wavelength", c_int32),
        ("relativeMode", c_int32),
        ("hold", c_int32),
        ("rangeMode", c_int32),
        ("unit", c_int32),
    ]


class IdnInfo(Structure):
    _fields_ = [
        ("maker", c_char * 30),
        ("model", c_char * 30),
        ("serial", c_char * 15),
        ("version", c_char * 5),
    ]


class MeterInfoRecord(Structure):
    """``mlink_meter_info``."""

    _fields_ = [
        ("serial", c_char * SERIAL_SIZE),
        ("maker", c_char * 30),
        ("model", c_char * 30),
        ("version", c_char * 5),
        ("position", c_int32),
        ("flags", c_uint32),
    ]


class MeterPlaceRecord(Structure):
    """``mlink_meter_place``."""

    _fields_ = [
        ("path", c_char * PATH_SIZE),
        ("port", c_char * PORT_SIZE),
        ("generation", c_uint32),
        ("flags", c_uint32),
        ("info", MeterInfoRecord),
    ]


class TableInfoRecord(Structure):
    """``mlink_table_info``."""

    _fields_ = [
        ("total_size", c_uint16),
        ("records", c_uint16),
        ("slot", c_uint16),
        ("type_code", c_uint16),
        ("header_wavelengths", c_uint16 * 4),
        ("min_wavelength", c_uint16),
        ("max_wavelength", c_uint16),
        ("crc", c_uint16),
    ]


# Sizes and offsets the C compiler gives these records (x86 and x64 alike:
# every field is naturally aligned). A mismatch means the records above no
# longer follow the header.
RECORD_SIZES = {
    Reading: 8,
    WaveEntry: 8,
    ModeSettings: 20,
    IdnInfo: 80,
    MeterInfoRecord: 124,
    MeterPlaceRecord: 676,
    TableInfoRecord: 22,
}

# ---- Prototypes ------------------------------------------------------------

_meter = c_void_p  # mlink_meter*, opaque
_i32 = c_int32
_size = c_size_t

PROTOTYPES: Dict[str, Tuple[Any, Tuple[Any, ...]]] = {
    "mlink_strerror": (c_char_p, (_i32,)),
    "mlink_version": (c_uint32, ()),
    "mlink_enumerate": (_i32, (POINTER(MeterInfoRecord), _size, POINTER(_size))),
    "mlink_open": (_i32, (c_char_p, POINTER(_meter))),
    "mlink_close": (_i32, (_meter,)),
    "mlink_get_info": (_i32, (_meter, POINTER(MeterInfoRecord))),
    "mlink_command": (_i32, (_meter, c_char_p, POINTER(c_char), _size, c_uint32)),
    "mlink_send": (_i32, (_meter, c_void_p, _size)),
    "mlink_receive": (_i32, (_meter, c_void_p, _size, POINTER(_size))),
    "mlink_battery": (_i32, (_meter, POINTER(_i32))),
    "mlink_slots": (_i32, (_meter, POINTER(c_uint8), _size)),
    "mlink_reset_settings": (_i32, (_meter,)),
    "mlink_reset_wavelengths": (_i32, (_meter,)),
    "mlink_identity": (_i32, (_meter, POINTER(IdnInfo))),
    "mlink_measure": (_i32, (_meter, POINTER(Reading))),
    "mlink_get_wavelength_list": (_i32, (_meter, POINTER(WaveEntry), _size)),
    "mlink_get_sensor": (_i32, (_meter, POINTER(c_char), _size)),
    "mlink_get_relative": (_i32, (_meter, POINTER(Reading))),
    "mlink_set_relative_to_current": (_i32, (_meter,)),
    "mlink_set_relative": (_i32, (_meter, POINTER(Reading))),
    "mlink_get_mode": (_i32, (_meter, POINTER(ModeSettings))),
    "mlink_set_mode": (_i32, (_meter, POINTER(ModeSettings))),
    "mlink_get_averaging": (_i32, (_meter, POINTER(_i32))),
    "mlink_set_averaging": (_i32, (_meter, _i32)),
    "mlink_get_range": (_i32, (_meter, POINTER(_i32))),
    "mlink_set_range": (_i32, (_meter, _i32)),
    "mlink_get_wavelength": (_i32, (_meter, POINTER(WaveEntry))),
    "mlink_set_wavelength": (_i32, (_meter, POINTER(WaveEntry))),
    "mlink_get_aps": (_i32, (_meter, POINTER(_i32))),
    "mlink_set_aps": (_i32, (_meter, _i32)),
    "mlink_table_check": (_i32, (c_void_p, _size, POINTER(TableInfoRecord))),
    "mlink_load_begin": (_i32, (_meter, c_void_p, _size)),
    "mlink_load_step": (_i32, (_meter,)),
    "mlink_load_progress": (_i32, (_meter, POINTER(c_uint32), POINTER(c_uint32))),
    "mlink_load_abort": (_i32, (_meter,)),
    "mlink_enumerate_places": (_i32, (POINTER(MeterPlaceRecord), _size, POINTER(_size))),
    "mlink_open_path": (_i32, (c_char_p, c_uint32, POINTER(_meter))),
    "mlink_open_port": (_i32, (c_char_p, POINTER(_meter))),
    "mlink_get_place": (_i32, (_meter, POINTER(MeterPlaceRecord))),
    "mlink_last_error_detail": (_i32, (POINTER(c_char), _size)),
}


def check_record_layout() -> None:
    """Raises AssertionError when a record's size differs from the C one."""
    for record, size in RECORD_SIZES.items():
        actual = ctypes.sizeof(record)
        if actual != size:
            raise AssertionError(f"{record.__name__} is {actual} bytes, the C record {size}")


def bind(library: ctypes.CDLL) -> None:
    """Gives every function of the handle API its prototype.

    Raises AttributeError naming the first function the library lacks.
    """
    for name, (restype, argtypes) in PROTOTYPES.items():
        function = getattr(library, name)
        function.restype = restype
        function.argtypes = list(argtypes)


def escaped(raw: bytes) -> str:
    """Device text as shown everywhere: printable ASCII kept, every other byte
    (and the backslash itself) as ``\\xNN``, so no control sequence reaches a
    terminal and different texts never look the same."""
    return "".join(
        chr(byte) if 0x20 <= byte <= 0x7E and byte != 0x5C else f"\\x{byte:02X}" for byte in raw
    )


def unescaped(shown: str) -> Optional[bytes]:
    """The bytes of device text as shown (``\\xNN`` for a byte); None when the
    text is not in that form (a bare backslash, a character beyond ASCII)."""
    raw = bytearray()
    i = 0
    while i < len(shown):
        char = shown[i]
        if char != "\\":
            if ord(char) > 0x7F:
                return None
            raw.append(ord(char))
            i += 1
            continue
        digits = shown[i + 2 : i + 4]
        if shown[i + 1 : i + 2] not in ("x", "X") or len(digits) != 2:
            return None
        if not all(d in "0123456789abcdefABCDEF" for d in digits):
            return None
        raw.append(int(digits, 16))
        i += 4
    return bytes(raw)


def text(field: bytes) -> str:
    """A NUL-terminated text field of a record, as shown (see :func:`escaped`)."""
    return escaped(field.split(b"\0", 1)[0])
