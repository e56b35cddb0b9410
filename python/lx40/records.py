"""The values the meter gives and takes: units, marks, readings, mode, identity."""

from __future__ import annotations

import enum
from dataclasses import dataclass
from typing import Optional

from . import _native


class Unit(enum.IntEnum):
    """The unit of a reading or relative reference (Meterlink's unit codes)."""

    DB = _native.UNIT_DB  #: dB (dBm for an absolute reading)
    W = _native.UNIT_W
    MW = _native.UNIT_MW
    UW = _native.UNIT_UW
    NW = _native.UNIT_NW
    AUTO = _native.UNIT_AUTO  #: on a request only: the unit that suits the reading


class Mark(enum.Enum):
    """What a reading is, when the meter marks it instead of measuring."""

    NONE = "none"  #: a measured value
    OVER_RANGE = "over-range"  #: above the range's full scale (H)
    UNDER_RANGE = "under-range"  #: below the range's floor, or no light (L)
    OVERLOAD = "overload"  #: above what the sensor takes (O)


_MARK_BY_SENTINEL = {
    _native.READING_OVER_RANGE: Mark.OVER_RANGE,
    _native.READING_UNDER_RANGE: Mark.UNDER_RANGE,
    _native.READING_OVERLOAD: Mark.OVERLOAD,
}


@dataclass(frozen=True)
class Reading:
    """A reading or relative reference.

    ``value`` is None exactly when the meter marked the reading (``mark`` is
    then not ``Mark.NONE``); a marked reading's unit is the one asked for.
    """

    value: Optional[float]
    unit: Unit
    mark: Mark = Mark.NONE

    @property
    def marked(self) -> bool:
        """True when the meter marked the reading instead of measuring it."""
        return self.mark is not Mark.NONE

    @classmethod
    def _from_record(cls, record: _native.Reading) -> "Reading":
        value = float(record.value)
        unit = Unit(record.unit)
        mark = _MARK_BY_SENTINEL.get(value)
        if mark is not None:
            return cls(None, unit, mark)
        return cls(value, unit)

    def __str__(self) -> str:
        if self.value is None:
            return self.mark.value
        return f"{self.value:g} {_UNIT_TEXT[self.unit]}"


_UNIT_TEXT = {
    Unit.DB: "dB",
    Unit.W: "W",
    Unit.MW: "mW",
    Unit.UW: "uW",
    Unit.NW: "nW",
    Unit.AUTO: "(auto)",
}


class Relative(enum.IntEnum):
    """Relative mode: readings against reference 0 or 1, or absolute."""

    REL0 = 0
    REL1 = 1
    ABS = 2


class Hold(enum.IntEnum):
    """Hold function: off, maximum, minimum or average of the readings."""

    OFF = 3
    MAX = 4
    MIN = 5
    AVE = 6


class RangeMode(enum.IntEnum):
    """Manual range (``Meter.range``) or automatic range."""

    MANUAL = 7
    AUTO = 8


@dataclass(frozen=True)
class Mode:
    """The measurement mode.

    ``unit`` is ``Unit.DB`` or ``Unit.W`` as the meter reports it; on a set
    any of ``Unit.W`` to ``Unit.NW`` means linear readings. Change one field
    with ``dataclasses.replace(meter.mode, hold=Hold.MAX)``.
    """

    wavelength: int
    relative: Relative
    hold: Hold
    range_mode: RangeMode
    unit: Unit


@dataclass(frozen=True)
class WaveEntry:
    """A wavelength (nm) and the number the meter keeps with it (-19.999 to 19.999)."""

    wavelength: int
    value: float


@dataclass(frozen=True)
class Identity:
    """The meter's answer to "IDN" (``version`` as "d.dd")."""

    maker: str
    model: str
    serial: str
    version: str


@dataclass(frozen=True)
class MeterInfo:
    """An attached meter as found by :func:`lx40.list_meters`.

    ``position`` is the meter's place among the attached meter interfaces;
    ``serial_cut`` is True when the serial number was longer than the
    library's field (such a meter cannot be opened by serial); ``in_use``
    when it is open in this process.
    """

    serial: str
    model: str
    version: str
    position: int
    maker: str = ""
    serial_cut: bool = False
    in_use: bool = False

    @classmethod
    def _from_record(cls, record: _native.MeterInfoRecord) -> "MeterInfo":
        return cls(
            serial=_native.text(record.serial),
            model=_native.text(record.model),
            version=_native.text(record.version),
            position=int(record.position),
            maker=_native.text(record.maker),
            serial_cut=bool(record.flags & _native.INFO_SERIAL_CUT),
            in_use=bool(record.flags & _native.INFO_IN_USE),
        )


@dataclass(frozen=True)
class MeterPlace:
    """An attached meter and where it is plugged, as :func:`lx40.list_places` finds it.

    ``port`` is the USB port ("1-2.4": bus 1, port 2 of the root hub, port 4
    of the hub there; "" when the system cannot tell), ``path`` the
    interface path, ``generation`` the plug generation (it changes whenever
    a meter is plugged in there). ``serial_shared`` is True when another
    listed meter answers with the same serial number, ``needs_replug`` when
    this process left the meter in the middle of a table (nothing was sent
    to it; it must be unplugged and plugged in again).
    """

    info: MeterInfo
    port: str
    path: str
    generation: int
    serial_shared: bool = False
    needs_replug: bool = False

    @property
    def serial(self) -> str:
        """The meter's serial number (``info.serial``)."""
        return self.info.serial

    @classmethod
    def _from_record(cls, record: _native.MeterPlaceRecord) -> "MeterPlace":
        return cls(
            info=MeterInfo._from_record(record.info),
            port=_native.text(record.port),
            path=_native.text(record.path),
            generation=int(record.generation),
            serial_shared=bool(record.flags & _native.INFO_SERIAL_SHARED),
            needs_replug=bool(record.flags & _native.INFO_NEEDS_REPLUG),
        )
