"""lx40: LX40 optical power meters from Python, through Meterlink's handle API.

    import lx40

    for info in lx40.list_meters():
        print(info.serial, info.model, info.version)

    with lx40.open("A12345678") as meter:
        meter.wavelength = 1550
        print(meter.measure())          # e.g. "-10 dB", or "over-range"
        meter.load_table(lx40.Table.builtin(8010), progress=print)

    for record in lx40.read_records(["record.jsonl"]):   # lx40's record files
        print(record.serial, record.result.value, record.bay)

Meterlink itself (libmeterlink.so, Meterlink.dll) is found as
:func:`load_library` describes; every failure raises a :class:`MeterError`
subclass carrying the result code and Meterlink's text for it.
"""

from importlib import metadata as _metadata

from ._library import LibraryNotFoundError, load_library
from .errors import (
    AlreadyOpenError,
    AmbiguousMeterError,
    BatteryLowError,
    BufferTooSmallError,
    HandshakeError,
    InUseElsewhereError,
    InvalidHandleError,
    LoadAbandonedError,
    LoadError,
    LoadStateError,
    LockFailedError,
    MeterError,
    ModeError,
    NeedsReplugError,
    NoAnswerError,
    NoPermissionError,
    NoSuchMeterError,
    NotAMeterError,
    NotRecognisedError,
    OutOfMemoryError,
    PluggedAgainError,
    SensorOrMemoryError,
    SignalError,
    TableError,
    ValueRefusedError,
)
from .meter import (
    SETTLE_SECONDS,
    Meter,
    Progress,
    list_meters,
    list_places,
    open,
    open_path,
    open_port,
)
from .records import (
    Hold,
    Identity,
    Mark,
    MeterInfo,
    MeterPlace,
    Mode,
    RangeMode,
    Reading,
    Relative,
    Unit,
    WaveEntry,
)
from .table import Table, TableRecord, builtin_tables
from .unit_records import (
    NotARecordError,
    RecordReader,
    Result,
    SkippedLine,
    SkipReason,
    TableOutcome,
    UnitRecord,
    read_records,
)

try:
    __version__ = _metadata.version("lx40")
except _metadata.PackageNotFoundError:  # used from a source tree, not installed
    __version__ = "0+unknown"

__all__ = [
    "AlreadyOpenError",
    "BatteryLowError",
    "BufferTooSmallError",
    "HandshakeError",
    "Hold",
    "Identity",
    "InUseElsewhereError",
    "InvalidHandleError",
    "LibraryNotFoundError",
    "LoadAbandonedError",
    "LoadError",
    "LoadStateError",
    "Mark",
    "Meter",
    "MeterError",
    "MeterInfo",
    "Mode",
    "ModeError",
    "NoAnswerError",
    "NoPermissionError",
    "NoSuchMeterError",
    "NotAMeterError",
    "NotARecordError",
    "NotRecognisedError",
    "OutOfMemoryError",
    "Progress",
    "RangeMode",
    "Reading",
    "RecordReader",
    "Relative",
    "Result",
    "SETTLE_SECONDS",
    "SensorOrMemoryError",
    "SignalError",
    "SkipReason",
    "SkippedLine",
    "Table",
    "TableError",
    "TableOutcome",
    "TableRecord",
    "Unit",
    "UnitRecord",
    "ValueRefusedError",
    "WaveEntry",
    "builtin_tables",
    "list_meters",
    "load_library",
    "open",
    "read_records",
]
