"""Readings in each unit, and the meter's marks as marks (never as numbers).

The simulated meter sees -10 dBm (0.1 mW) at 1310 nm. A table with a tiny
coefficient around 1310 nm and a huge one around 1510 nm makes it show no
light (under range) or more than its sensor takes (overload); a manual range
below -10 dBm gives over range.
"""

from __future__ import annotations

import dataclasses

import pytest

import lx40
from helpers import make_table
from lx40 import Mark, RangeMode, Relative, Unit

MARK_TABLE = make_table(
    slot=4,
    type_code=9001,
    records=[(1300, 1e-9), (1320, 1e-9), (1500, 1000.0), (1520, 1000.0)],
)


@pytest.mark.serial("MARKS0001")
def test_a_plain_reading_in_db(meter: lx40.Meter) -> None:
    reading = meter.measure()
    assert reading == lx40.Reading(pytest.approx(-10.0, abs=0.01), Unit.DB, Mark.NONE)
    assert not reading.marked
    assert meter.measure(Unit.DB).value == pytest.approx(-10.0, abs=0.01)


@pytest.mark.serial("MARKS0001")
@pytest.mark.parametrize(
    "unit, value",
    [(Unit.W, 1e-4), (Unit.MW, 0.1), (Unit.UW, 100.0), (Unit.NW, 1e5)],
)
def test_linear_readings_in_each_unit(meter: lx40.Meter, unit: Unit, value: float) -> None:
    meter.mode = dataclasses.replace(meter.mode, unit=Unit.W)
    reading = meter.measure(unit)
    assert (reading.unit, reading.mark) == (unit, Mark.NONE)
    assert reading.value == pytest.approx(value, rel=1e-3)
    automatic = meter.measure()
    assert automatic.unit in (Unit.W, Unit.MW, Unit.UW, Unit.NW) and not automatic.marked


@pytest.mark.serial("MARKS0001")
def test_a_db_reading_in_a_linear_unit_is_refused(meter: lx40.Meter) -> None:
    with pytest.raises(lx40.ValueRefusedError) as raised:
        meter.measure(Unit.MW)
    assert raised.value.code == -1


@pytest.mark.serial("MARKS0001")
def test_relative_reading_against_the_reference(meter: lx40.Meter) -> None:
    meter.relative_reference = -13.0
    meter.mode = dataclasses.replace(meter.mode, relative=Relative.REL1)
    assert meter.measure().value == pytest.approx(3.0, abs=0.01)


@pytest.mark.serial("MARKS0001")
def test_over_range_is_a_mark(meter: lx40.Meter) -> None:
    meter.mode = dataclasses.replace(meter.mode, range_mode=RangeMode.MANUAL)
    meter.range = -20
    for unit in (Unit.AUTO, Unit.DB):
        reading = meter.measure(unit)
        assert (reading.value, reading.mark, reading.unit) == (None, Mark.OVER_RANGE, unit)
        assert str(reading) == "over-range"
    meter.range = 0
    assert meter.measure().mark is Mark.NONE


@pytest.mark.serial("MARKS0001")
def test_under_range_and_overload_are_marks(meter: lx40.Meter) -> None:
    if not meter.slots()[4]:
        meter.settle_seconds = 0.0  # the simulated meter needs no pause after a table
        meter.load_table(MARK_TABLE)
    assert meter.slots()[4]
    meter.wavelength = 1310
    assert meter.measure() == lx40.Reading(None, Unit.AUTO, Mark.UNDER_RANGE)
    meter.wavelength = 1510
    assert meter.measure(Unit.DB) == lx40.Reading(None, Unit.DB, Mark.OVERLOAD)
    meter.wavelength = 1700  # beyond the table: shown uncorrected
    assert meter.measure().value == pytest.approx(-10.0, abs=0.01)


def test_sentinels_become_marks() -> None:
    from lx40 import _native

    cases = [
        (_native.READING_OVER_RANGE, Mark.OVER_RANGE),
        (_native.READING_UNDER_RANGE, Mark.UNDER_RANGE),
        (_native.READING_OVERLOAD, Mark.OVERLOAD),
        (1.0e9, Mark.NONE),
        (-1.0e10 * 1.001, Mark.NONE),
    ]
    for value, mark in cases:
        reading = lx40.Reading._from_record(_native.Reading(value, _native.UNIT_DB))
        assert reading.mark is mark
        assert (reading.value is None) == (mark is not Mark.NONE)
