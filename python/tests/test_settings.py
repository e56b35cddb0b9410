"""Every setting written and read back, the meter's refusals, and the reset."""

from __future__ import annotations

import dataclasses

import pytest

import lx40
from lx40 import Hold, Mode, RangeMode, Relative, Unit, WaveEntry


def test_mode_round_trip_of_every_keyword(meter: lx40.Meter) -> None:
    start = meter.mode
    cases = [
        dict(relative=Relative.REL0),
        dict(relative=Relative.REL1),
        dict(relative=Relative.ABS, unit=Unit.W),
        dict(hold=Hold.MAX),
        dict(hold=Hold.MIN),
        dict(hold=Hold.AVE),
        dict(range_mode=RangeMode.MANUAL),
        dict(range_mode=RangeMode.AUTO, wavelength=1550),
        dict(unit=Unit.DB, wavelength=850),
    ]
    for change in cases:
        wanted = dataclasses.replace(start, **change)
        meter.mode = wanted
        assert meter.mode == wanted, change
        start = wanted


def test_a_linear_unit_is_set_as_watts(meter: lx40.Meter) -> None:
    meter.mode = dataclasses.replace(meter.mode, relative=Relative.ABS, unit=Unit.UW)
    assert meter.mode.unit is Unit.W


@pytest.mark.parametrize("nm", [850, 1310, 1550, 1625, 300, 1700])
def test_wavelength_round_trip(meter: lx40.Meter, nm: int) -> None:
    meter.wavelength = nm
    assert meter.wavelength == nm
    assert meter.mode.wavelength == nm


def test_setting_the_wavelength_keeps_the_number_of_its_list_entry(meter: lx40.Meter) -> None:
    meter.wavelength_entry = WaveEntry(1550, 1.234)
    meter.wavelength = 1310
    meter.wavelength = 1550
    entry = meter.wavelength_entry
    assert entry.wavelength == 1550 and entry.value == pytest.approx(1.234, abs=1e-6)
    listed = {e.wavelength: e.value for e in meter.wavelength_list()}
    assert listed[1550] == pytest.approx(1.234, abs=1e-6)
    meter.reset_wavelengths()
    assert {e.wavelength: e.value for e in meter.wavelength_list()}[1550] == pytest.approx(1.0)


@pytest.mark.parametrize("value", [-19.999, -1.5, 0.0, 0.001, 19.999])
def test_wavelength_entry_round_trip(meter: lx40.Meter, value: float) -> None:
    meter.wavelength_entry = WaveEntry(1490, value)
    entry = meter.wavelength_entry
    assert entry.wavelength == 1490 and entry.value == pytest.approx(value, abs=1e-6)


def test_wavelength_list_has_ten_entries(meter: lx40.Meter) -> None:
    entries = meter.wavelength_list()
    assert len(entries) == 10
    assert [e.wavelength for e in entries][:5] == [850, 980, 1060, 1300, 1310]


@pytest.mark.parametrize("dbm", [10, 0, -30, -60])
def test_range_round_trip_in_manual_range_mode(meter: lx40.Meter, dbm: int) -> None:
    meter.mode = dataclasses.replace(meter.mode, range_mode=RangeMode.MANUAL)
    meter.range = dbm
    assert meter.range == dbm


@pytest.mark.parametrize("count", [1, 2, 500, 1000])
def test_averaging_round_trip(meter: lx40.Meter, count: int) -> None:
    meter.averaging = count
    assert meter.averaging == count


@pytest.mark.parametrize("on", [True, False, True])
def test_aps_round_trip(meter: lx40.Meter, on: bool) -> None:
    meter.aps = on
    assert meter.aps is on


@pytest.mark.parametrize("reference", [-12.34, 0.0, 3.5, -60.0])
def test_relative_reference_round_trip(meter: lx40.Meter, reference: float) -> None:
    meter.relative_reference = reference
    got = meter.relative_reference
    assert (got.unit, got.mark) == (Unit.DB, lx40.Mark.NONE)
    assert got.value == pytest.approx(reference, abs=0.005)
    meter.relative_reference = lx40.Reading(reference - 1.0, Unit.DB)
    assert meter.relative_reference.value == pytest.approx(reference - 1.0, abs=0.005)


def test_relative_reference_to_the_current_reading(meter: lx40.Meter) -> None:
    meter.relative_reference = 5.0
    meter.set_relative_to_current()
    reading = meter.measure()
    assert meter.relative_reference.value == pytest.approx(reading.value, abs=0.01)


def test_reset_settings_returns_to_power_on(meter: lx40.Meter) -> None:
    before = (meter.mode, meter.averaging, meter.aps, meter.relative_reference)
    meter.mode = Mode(1550, Relative.REL1, Hold.MAX, RangeMode.MANUAL, Unit.DB)
    meter.range = -20
    meter.averaging = 77
    meter.aps = not before[2]
    meter.relative_reference = -3.0
    meter.reset_settings()
    assert (meter.mode, meter.averaging, meter.aps, meter.relative_reference) == before


# ---- refusals ---------------------------------------------------------------------

REFUSED = [
    # what, setting, exception, code
    ("averaging 0", lambda m: setattr(m, "averaging", 0), lx40.ValueRefusedError, -1),
    ("averaging 1001", lambda m: setattr(m, "averaging", 1001), lx40.ValueRefusedError, -1),
    (
        "averaging beyond int32",
        lambda m: setattr(m, "averaging", 2**32 + 10),
        lx40.ValueRefusedError,
        -1,
    ),
    ("range not a step", lambda m: setattr(m, "range", 5), lx40.ValueRefusedError, -1),
    ("range in auto mode", lambda m: setattr(m, "range", -10), lx40.ModeError, -10),
    ("wavelength outside the sensor", lambda m: setattr(m, "wavelength", 200), lx40.ModeError, -10),
    (
        "relative mode in watts",
        lambda m: setattr(m, "mode", Mode(1310, Relative.REL0, Hold.OFF, RangeMode.AUTO, Unit.W)),
        lx40.ModeError,
        -10,
    ),
    (
        "wavelength beyond four digits",
        lambda m: setattr(m, "wavelength_entry", WaveEntry(10000, 1.0)),
        lx40.ValueRefusedError,
        -1,
    ),
    (
        "number beyond three decimals' field",
        lambda m: setattr(m, "wavelength_entry", WaveEntry(1310, 20.0)),
        lx40.ValueRefusedError,
        -1,
    ),
    (
        "relative reference in an automatic unit",
        lambda m: setattr(m, "relative_reference", lx40.Reading(1.0, Unit.AUTO)),
        lx40.ValueRefusedError,
        -1,
    ),
]


@pytest.mark.parametrize("what, change, cls, code", REFUSED, ids=[case[0] for case in REFUSED])
def test_refused_settings_raise_and_change_nothing(
    meter: lx40.Meter, what: str, change, cls: type, code: int
) -> None:
    before = (meter.mode, meter.averaging, meter.range, meter.wavelength_entry)
    with pytest.raises(cls) as raised:
        change(meter)
    assert raised.value.code == code
    assert raised.value.serial == meter.serial
    assert (meter.mode, meter.averaging, meter.range, meter.wavelength_entry) == before


@pytest.mark.parametrize(
    "change",
    [
        lambda m: setattr(m, "averaging", "10"),
        lambda m: setattr(m, "averaging", 1.5),
        lambda m: setattr(m, "aps", 1),
        lambda m: setattr(m, "range", True),
    ],
)
def test_values_of_the_wrong_type_are_type_errors(meter: lx40.Meter, change) -> None:
    with pytest.raises(TypeError):
        change(meter)


def test_a_marked_reading_is_no_reference(meter: lx40.Meter) -> None:
    with pytest.raises(ValueError):
        meter.relative_reference = lx40.Reading(None, Unit.DB, lx40.Mark.OVER_RANGE)
