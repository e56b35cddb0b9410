"""Finding, opening and using meters."""

from __future__ import annotations

import ctypes
import threading
import time
from typing import Any, Callable, List, Optional, Tuple, Union

from . import _native
from ._library import Library, load_library
from .errors import AmbiguousMeterError, InvalidHandleError, ValueRefusedError, make_error
from .records import (
    Hold,
    Identity,
    MeterInfo,
    MeterPlace,
    Mode,
    RangeMode,
    Reading,
    Relative,
    Unit,
    WaveEntry,
)
from .table import Table

#: A progress callable of :meth:`Meter.load_table`: steps done, steps in all.
Progress = Callable[[int, int], Any]

#: How long a meter needs after it stored a table before its next command
#: (mlink.h's MLINK_SETTLE_MS).
SETTLE_SECONDS = _native.SETTLE_MS / 1000


# Codes for which Meterlink keeps a detail text (mlink_last_error_detail).
_DETAILED = (
    _native.ERR_LOCK_FAILED,
    _native.ERR_NEEDS_REPLUG,
    _native.ERR_REPLUGGED,
    _native.ERR_IN_USE_ELSEWHERE,
    _native.ERR_NO_PERMISSION,
)


def _raise_for(library: Library, code: int, operation: str, serial: Optional[str] = None) -> None:
    if code == _native.OK:
        return
    text = library.strerror(code)
    if code in _DETAILED:
        detail = ctypes.create_string_buffer(1100)
        if library.dll.mlink_last_error_detail(detail, len(detail)) == _native.OK and detail.value:
            text = f"{text} ({_native.text(detail.value)})"
    raise make_error(code, text, operation, serial)


def _int32(value: int, what: str, library: Library, serial: Optional[str] = None) -> int:
    """An int that fits Meterlink's int32_t; anything else is refused, never wrapped."""
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError(f"{what} must be an int, not {type(value).__name__}")
    if not _native.INT32_MIN <= value <= _native.INT32_MAX:
        code = _native.BAD_ARGUMENT
        raise ValueRefusedError(code, f"{library.strerror(code)}: {what} {value}", what, serial)
    return value


def list_meters() -> List[MeterInfo]:
    """The attached LX40 meters in device position order.

    Each meter is opened, asked who it is and closed again; meters in use by
    another program are not listed, meters open in this process are (with
    ``in_use`` set).

    Raises:
        MeterError: the enumeration failed.
    """
    library = load_library()
    found = ctypes.c_size_t(0)
    # The count can grow between the two calls (a meter plugged in): ask
    # again with room for the larger count until it fits.
    capacity = 8
    while True:
        infos = (_native.MeterInfoRecord * capacity)()
        code = library.dll.mlink_enumerate(infos, capacity, ctypes.byref(found))
        _raise_for(library, code, "mlink_enumerate")
        if found.value <= capacity:
            return [MeterInfo._from_record(infos[i]) for i in range(found.value)]
        capacity = found.value


def list_places() -> List[MeterPlace]:
    """The attached LX40 meters in device position order, each with where it is plugged.

    As :func:`list_meters`, and besides a meter this process left in the
    middle of a table (``needs_replug``, nothing sent to it).

    Raises:
        MeterError: the enumeration failed (LockFailedError: a meter's lock
            file could not be opened; the message names it).
    """
    library = load_library()
    found = ctypes.c_size_t(0)
    capacity = 8
    while True:
        places = (_native.MeterPlaceRecord * capacity)()
        code = library.dll.mlink_enumerate_places(places, capacity, ctypes.byref(found))
        _raise_for(library, code, "mlink_enumerate_places")
        if found.value <= capacity:
            return [MeterPlace._from_record(places[i]) for i in range(found.value)]
        capacity = found.value


def open_port(port: str) -> "Meter":
    """Opens the meter plugged at this port ("1-2.4", as :attr:`MeterPlace.port`).

    No other meter is sent a byte. Use it where two meters answer with one
    serial number.

    Raises:
        NoSuchMeterError: no meter interface at that port.
        InUseElsewhereError: the meter there is open in another program.
        NeedsReplugError: this process left that meter in the middle of a table.
    """
    return Meter._open_by("mlink_open_port", port, port.encode("ascii", "replace"))


def open_path(path: str, generation: int = 0) -> "Meter":
    """Opens the meter at this interface path (:attr:`MeterPlace.path`).

    ``generation`` is the listed plug generation; 0 takes whichever meter
    is plugged there now.

    Raises:
        NoSuchMeterError: nothing at that path; PluggedAgainError: another
            plug generation; InUseElsewhereError: open in another program.
    """
    # A listed path is shown as device text is (its backslashes as \x5C);
    # a path typed as Windows spells it is taken as it stands.
    raw = _native.unescaped(path)
    if raw is None:
        raw = path.encode("latin-1", "replace")
    return Meter._open_by("mlink_open_path", path, raw, int(generation))


def open(serial: str) -> "Meter":  # noqa: A001 - the name users expect (lx40.open)
    """Opens the attached meter with this whole serial number, as listed
    (``\\xNN`` for a byte outside printable ASCII).

    Use it in a ``with`` block, which closes the meter on leaving::

        with lx40.open("A12345678") as meter:
            print(meter.measure())

    Raises:
        NoSuchMeterError: no attached, free LX40 has this serial number.
        AlreadyOpenError: the meter is already open in this process.
        AmbiguousMeterError: more than one meter answers with it (its
            ``ports`` name them: open one with :func:`open_port`).
    """
    if isinstance(serial, str):
        ports = [place.port for place in list_places() if place.serial == serial]
        if len(ports) > 1:
            raise AmbiguousMeterError(serial, ports)
    return Meter(serial)


class Meter:
    """One open meter. Made by :func:`lx40.open`; closed by :meth:`close` or a ``with`` block.

    A Meter may be shared between threads: its calls are serialised (Meterlink
    itself allows one thread per meter at a time). Different meters work in
    parallel; Meterlink's calls run without the Python interpreter lock.

    After a table load, the meter needs :data:`SETTLE_SECONDS` before its next
    command; the next call on this Meter waits for what is left of that time
    (``settle_seconds`` changes it for this meter).
    """

    def __init__(self, serial: str) -> None:
        if not isinstance(serial, str):
            raise TypeError(f"serial must be a str, not {type(serial).__name__}")
        self._library = load_library()
        self._lock = threading.RLock()
        self._handle: Optional[int] = None
        self._ready_at = 0.0
        self.settle_seconds = SETTLE_SECONDS
        self.serial = serial
        # As listed: "\\xNN" for a byte outside printable ASCII.
        encoded = _native.unescaped(serial) or b""
        handle = ctypes.c_void_p()
        if not encoded or b"\0" in encoded:
            # No meter has such a serial number; Meterlink would not be asked.
            code = _native.ERR_NO_SUCH_METER
        else:
            code = self._library.dll.mlink_open(encoded, ctypes.byref(handle))
        _raise_for(self._library, code, "mlink_open", serial)
        self._handle = handle.value

    @classmethod
    def _open_by(cls, function: str, where: str, encoded: bytes, *extra: int) -> "Meter":
        """A Meter opened by ``function`` (by port or by path) at ``where``."""
        if not isinstance(where, str):
            raise TypeError(f"the place must be a str, not {type(where).__name__}")
        meter = cls.__new__(cls)
        meter._library = load_library()
        meter._lock = threading.RLock()
        meter._handle = None
        meter._ready_at = 0.0
        meter.settle_seconds = SETTLE_SECONDS
        meter.serial = where
        handle = ctypes.c_void_p()
        if not encoded or b"\0" in encoded:
            code = _native.ERR_NO_SUCH_METER
        else:
            call = getattr(meter._library.dll, function)
            code = call(encoded, *extra, ctypes.byref(handle))
        _raise_for(meter._library, code, function, where)
        meter._handle = handle.value
        meter.serial = meter.place.serial
        return meter

    @property
    def place(self) -> MeterPlace:
        """Where the meter is plugged, as read when it was opened (nothing is sent)."""
        record = _native.MeterPlaceRecord()
        self._call("mlink_get_place", ctypes.byref(record))
        return MeterPlace._from_record(record)

    # ---- life ---------------------------------------------------------------

    def close(self) -> None:
        """Closes the meter (a load in progress is abandoned first). Closing twice is harmless."""
        with self._lock:
            if self._handle is None:
                return
            handle, self._handle = self._handle, None
            code = self._library.dll.mlink_close(handle)
            _raise_for(self._library, code, "mlink_close", self.serial)

    @property
    def closed(self) -> bool:
        """True once the meter is closed."""
        return self._handle is None

    def __enter__(self) -> "Meter":
        return self

    def __exit__(self, *exc_info: Any) -> None:
        self.close()

    def __del__(self) -> None:
        # A Meter dropped without close() must not keep the meter from others.
        if getattr(self, "_handle", None) is not None:
            try:
                self.close()
            except Exception:  # pragma: no cover - nothing to report to at this point
                pass

    def __repr__(self) -> str:
        state = "closed" if self.closed else "open"
        return f"<lx40.Meter {self.serial!r} {state}>"

    # ---- the call every method goes through -----------------------------------

    def _call(self, name: str, *args: Any) -> None:
        """Calls an mlink_ function on this meter and raises for any code but MLINK_OK."""
        with self._lock:
            handle = self._live_handle(name)
            code = getattr(self._library.dll, name)(handle, *args)
        _raise_for(self._library, code, name, self.serial)

    def _live_handle(self, name: str) -> int:
        if self._handle is None:
            code = _native.ERR_INVALID_HANDLE
            raise InvalidHandleError(
                code, f"{self._library.strerror(code)} (the meter is closed)", name, self.serial
            )
        wait = self._ready_at - time.monotonic()
        if wait > 0:
            time.sleep(wait)
        return self._handle

    def _int32_value(self, value: int, what: str) -> int:
        return _int32(value, what, self._library, self.serial)

    # ---- identity, battery, slots --------------------------------------------

    @property
    def info(self) -> MeterInfo:
        """What was read from the meter when it was opened (nothing is sent)."""
        record = _native.MeterInfoRecord()
        self._call("mlink_get_info", ctypes.byref(record))
        return MeterInfo._from_record(record)

    def identity(self) -> Identity:
        """Asks the meter "IDN": maker, model, serial number, version."""
        record = _native.IdnInfo()
        self._call("mlink_identity", ctypes.byref(record))
        return Identity(
            maker=_native.text(record.maker),
            model=_native.text(record.model),
            serial=_native.text(record.serial),
            version=_native.text(record.version),
        )

    def battery_ok(self) -> bool:
        """True when the battery is good, False when it is low."""
        ok = ctypes.c_int32()
        self._call("mlink_battery", ctypes.byref(ok))
        return bool(ok.value)

    def slots(self) -> Tuple[bool, ...]:
        """Which of the seven sensor data slots hold data (slot 0 first).

        Raises:
            BatteryLowError: the battery is low (checked first).
        """
        slots = (ctypes.c_uint8 * _native.SLOT_COUNT)()
        self._call("mlink_slots", slots, _native.SLOT_COUNT)
        return tuple(bool(slot) for slot in slots)

    def sensor(self) -> str:
        """The meter's description of its sensor ("GET_SENSER")."""
        buffer = ctypes.create_string_buffer(_native.SENSOR_TEXT_SIZE)
        self._call("mlink_get_sensor", buffer, _native.SENSOR_TEXT_SIZE)
        return _native.text(buffer.value)

    def command(self, command: str, battery_check: bool = True) -> str:
        """Sends a text command and returns the meter's reply line.

        For commands this package has no method for. The meter's error
        replies raise as for the other methods.
        """
        encoded = command.encode("ascii")
        reply = ctypes.create_string_buffer(_native.REPLY_SIZE)
        flags = 0 if battery_check else _native.COMMAND_NO_BATTERY_CHECK
        self._call("mlink_command", encoded, reply, _native.REPLY_SIZE, flags)
        return _native.text(reply.value)

    # ---- readings ---------------------------------------------------------------

    def measure(self, unit: Unit = Unit.AUTO) -> Reading:
        """One reading ("GET_MESRDATA") in ``unit``.

        ``Unit.AUTO`` gives the unit that suits the reading (dB for a dB
        reading). A marked reading has ``value`` None and its ``mark`` set.

        Raises:
            ModeError: the meter has no reading (no sensor).
            ValueRefusedError: the reading cannot be given in ``unit`` (a dB
                reading asked for in a linear unit, or the reverse).
        """
        record = _native.Reading(0.0, self._int32_value(int(unit), "unit"))
        self._call("mlink_measure", ctypes.byref(record))
        return Reading._from_record(record)

    # ---- settings -----------------------------------------------------------------

    @property
    def mode(self) -> Mode:
        """The measurement mode (wavelength, relative mode, hold, range mode, unit)."""
        record = _native.ModeSettings()
        self._call("mlink_get_mode", ctypes.byref(record))
        values = (record.relativeMode, record.hold, record.rangeMode, record.unit)
        if _native.MODE_UNKNOWN in values:
            code = _native.NOT_RECOGNISED
            raise make_error(
                code,
                f"{self._library.strerror(code)}: a mode keyword of the meter is unknown",
                "mlink_get_mode",
                self.serial,
            )
        return Mode(
            wavelength=int(record.wavelength),
            relative=Relative(record.relativeMode),
            hold=Hold(record.hold),
            range_mode=RangeMode(record.rangeMode),
            unit=Unit(record.unit),
        )

    @mode.setter
    def mode(self, mode: Mode) -> None:
        record = _native.ModeSettings(
            self._int32_value(mode.wavelength, "wavelength"),
            self._int32_value(int(mode.relative), "relative mode"),
            self._int32_value(int(mode.hold), "hold"),
            self._int32_value(int(mode.range_mode), "range mode"),
            self._int32_value(int(mode.unit), "unit"),
        )
        self._call("mlink_set_mode", ctypes.byref(record))

    @property
    def wavelength(self) -> int:
        """The wavelength (nm) the meter measures at.

        Setting it changes only the wavelength (through the mode); the number
        the meter keeps with a wavelength stays as its list has it. To set
        that number as well use :attr:`wavelength_entry`.
        """
        return self.wavelength_entry.wavelength

    @wavelength.setter
    def wavelength(self, nanometres: int) -> None:
        with self._lock:
            current = self.mode
            self.mode = Mode(
                nanometres, current.relative, current.hold, current.range_mode, current.unit
            )

    @property
    def wavelength_entry(self) -> WaveEntry:
        """The current wavelength and the number the meter keeps with it ("SET_WAVELEN")."""
        record = _native.WaveEntry()
        self._call("mlink_get_wavelength", ctypes.byref(record))
        return WaveEntry(int(record.wavelength), float(record.value))

    @wavelength_entry.setter
    def wavelength_entry(self, entry: WaveEntry) -> None:
        record = _native.WaveEntry(self._int32_value(entry.wavelength, "wavelength"), entry.value)
        self._call("mlink_set_wavelength", ctypes.byref(record))

    def wavelength_list(self) -> List[WaveEntry]:
        """The meter's list of ten wavelengths with their numbers."""
        entries = (_native.WaveEntry * _native.WAVE_LIST_SIZE)()
        self._call("mlink_get_wavelength_list", entries, _native.WAVE_LIST_SIZE)
        return [WaveEntry(int(entry.wavelength), float(entry.value)) for entry in entries]

    @property
    def range(self) -> int:
        """The manual range's full scale in dBm (+10 down to -60 in steps of 10).

        Setting it needs ``RangeMode.MANUAL`` (else ModeError).
        """
        value = ctypes.c_int32()
        self._call("mlink_get_range", ctypes.byref(value))
        return int(value.value)

    @range.setter
    def range(self, dbm: int) -> None:
        self._call("mlink_set_range", self._int32_value(dbm, "range"))

    @property
    def averaging(self) -> int:
        """How many readings the average hold takes."""
        value = ctypes.c_int32()
        self._call("mlink_get_averaging", ctypes.byref(value))
        return int(value.value)

    @averaging.setter
    def averaging(self, count: int) -> None:
        self._call("mlink_set_averaging", self._int32_value(count, "averaging"))

    @property
    def aps(self) -> bool:
        """Auto power save."""
        value = ctypes.c_int32()
        self._call("mlink_get_aps", ctypes.byref(value))
        return bool(value.value)

    @aps.setter
    def aps(self, on: bool) -> None:
        if not isinstance(on, bool):
            raise TypeError(f"aps must be a bool, not {type(on).__name__}")
        self._call("mlink_set_aps", 1 if on else 0)

    @property
    def relative_reference(self) -> Reading:
        """The relative reference ("GET_REL", "SET_REL1"), in dB.

        Set it with a Reading or a number of dB.
        """
        record = _native.Reading(0.0, _native.UNIT_AUTO)
        self._call("mlink_get_relative", ctypes.byref(record))
        return Reading._from_record(record)

    @relative_reference.setter
    def relative_reference(self, reference: Union[Reading, float]) -> None:
        if isinstance(reference, Reading):
            if reference.value is None:
                raise ValueError(f"a marked reading ({reference.mark.value}) is no reference")
            value, unit = reference.value, reference.unit
        else:
            value, unit = float(reference), Unit.DB
        record = _native.Reading(value, self._int32_value(int(unit), "unit"))
        self._call("mlink_set_relative", ctypes.byref(record))

    def set_relative_to_current(self) -> None:
        """Makes the reading shown now the relative reference ("SET_REL0")."""
        self._call("mlink_set_relative_to_current")

    def reset_settings(self) -> None:
        """Returns every measurement setting to the meter's power-on values."""
        self._call("mlink_reset_settings")

    def reset_wavelengths(self) -> None:
        """Returns the wavelength list to the meter's power-on values."""
        self._call("mlink_reset_wavelengths")

    # ---- sensor data tables -----------------------------------------------------------

    def load_table(
        self, table: Union[Table, bytes, bytearray], progress: Optional[Progress] = None
    ) -> None:
        """Writes a sensor data table into the slot its header names.

        The load runs step by step ("HOSEI", the header with echoes, one step
        per record, the trailer); after each step ``progress(done, total)``
        is called. The meter stores the table only when the whole table
        arrived with a good CRC; it then needs a pause before its next
        command, which the next call on this Meter waits out.

        Stopping: an exception raised between steps (Ctrl+C, or one raised
        by ``progress``) ends the load on the host side (``mlink_load_abort``)
        and propagates. The meter then still waits for table bytes and has
        stored nothing: close it, unplug it and plug it in again before its
        next use (until then its calls raise LoadAbandonedError).

        The battery is checked first: a meter with a low battery gets no
        byte of the table. Whether the slot may be overwritten is the
        caller's decision (:meth:`slots` tells which are filled).

        Raises:
            BatteryLowError: the battery is low (nothing sent).
            TableError: ``table`` given as bytes is not a good table (nothing sent).
            HandshakeError, NoAnswerError: the meter broke off the load.
            SignalError: the meter could not be reached (unplugged).
        """
        data = bytes(table) if isinstance(table, Table) else bytes(Table.from_bytes(table))
        dll = self._library.dll
        done = ctypes.c_uint32()
        total = ctypes.c_uint32()
        with self._lock:
            if not self.battery_ok():
                code = _native.BATTERY_LOW
                raise make_error(code, self._library.strerror(code), "load_table", self.serial)
            handle = self._live_handle("mlink_load_begin")
            buffer = ctypes.create_string_buffer(data, len(data))
            _raise_for(
                self._library,
                dll.mlink_load_begin(handle, buffer, len(data)),
                "mlink_load_begin",
                self.serial,
            )
            in_progress = True
            try:
                while in_progress:
                    code = dll.mlink_load_step(handle)
                    in_progress = code == _native.OK
                    if code == _native.DONE:
                        self._ready_at = time.monotonic() + self.settle_seconds
                    dll.mlink_load_progress(handle, ctypes.byref(done), ctypes.byref(total))
                    if code not in (_native.OK, _native.DONE):
                        _raise_for(self._library, code, "mlink_load_step", self.serial)
                    if progress is not None:
                        progress(int(done.value), int(total.value))
            except BaseException as error:
                if in_progress:
                    self._abort_load(handle, error)
                raise

    def _abort_load(self, handle: int, error: BaseException) -> None:
        code = self._library.dll.mlink_load_abort(handle)
        if code == _native.ERR_LOAD_STATE:
            return  # the last step had already ended the load
        note = (
            f"{self.serial}: the table load was stopped mid-table; the meter stored nothing and "
            "must be unplugged and plugged in again before its next use"
        )
        if code != _native.OK:
            note = f"{note} (mlink_load_abort: {self._library.strerror(code)})"
        if hasattr(error, "add_note"):
            error.add_note(note)


__all__ = [
    "Meter",
    "Progress",
    "SETTLE_SECONDS",
    "list_meters",
    "open",
]
