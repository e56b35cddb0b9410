"""Sensor data tables: reading and checking them, and loading them into meters."""

from __future__ import annotations

import signal
import struct
from pathlib import Path
from typing import List

import pytest

import lx40
from helpers import REPOSITORY, finish_scenario, make_table, run_scenario, start_scenario
from helpers import stored_tables

SOURCE_TABLES = REPOSITORY / "resources" / "tables"
GOOD = make_table(slot=2, type_code=1234, records=[(1300, 1.5), (1310, 1.25), (1320, 1.0)])


def with_field(data: bytes, offset: int, value: int) -> bytes:
    return data[:offset] + struct.pack(">H", value) + data[offset + 2 :]


def test_a_good_table_is_read_field_by_field(library: object) -> None:
    table = lx40.Table.from_bytes(GOOD)
    assert (table.total_size, table.record_count, table.slot, table.type_code) == (36, 3, 2, 1234)
    assert table.header_wavelengths == (850, 1310, 1490, 1550)
    assert (table.min_wavelength, table.max_wavelength) == (1300, 1320)
    assert table.crc == struct.unpack(">H", GOOD[-2:])[0]
    assert table.records() == [
        lx40.TableRecord(1300, 1.5),
        lx40.TableRecord(1310, 1.25),
        lx40.TableRecord(1320, 1.0),
    ]
    assert bytes(table) == GOOD and len(table) == 36


BAD = [
    ("size field", with_field(GOOD, 0, 38), -24),
    ("bytes missing", GOOD[:-1], -24),
    ("bytes added", GOOD + b"\0", -24),
    ("nothing", b"", -24),
    ("record count", with_field(GOOD, 2, 2), -25),
    ("no records", make_table(2, 1234, []), -25),
    ("crc", GOOD[:-1] + bytes([GOOD[-1] ^ 1]), -26),
    ("a record byte", GOOD[:20] + bytes([GOOD[20] ^ 0x80]) + GOOD[21:], -26),
    ("slot 7", make_table(7, 1234, [(1310, 1.0)]), -27),
]


@pytest.mark.parametrize("data, code", [case[1:] for case in BAD], ids=[case[0] for case in BAD])
def test_a_bad_table_is_refused_with_its_fault(library: object, data: bytes, code: int) -> None:
    with pytest.raises(lx40.TableError) as raised:
        lx40.Table.from_bytes(data)
    assert raised.value.code == code
    assert raised.value.text == lx40.load_library().strerror(code)


def test_table_files(library: object, tmp_path: Path) -> None:
    (tmp_path / "good.bin").write_bytes(GOOD)
    assert lx40.Table.from_file(tmp_path / "good.bin").type_code == 1234
    (tmp_path / "bad.bin").write_bytes(GOOD[:-1])
    with pytest.raises(lx40.TableError):
        lx40.Table.from_file(str(tmp_path / "bad.bin"))
    with pytest.raises(FileNotFoundError):
        lx40.Table.from_file(tmp_path / "none.bin")
    (tmp_path / "huge.bin").write_bytes(b"\0" * 70000)
    with pytest.raises(lx40.TableError) as raised:
        lx40.Table.from_file(tmp_path / "huge.bin")
    assert raised.value.code == -24


@pytest.mark.parametrize("type_code, slot", [(8010, 1), (8011, 3)])
def test_builtin_tables_are_the_wizards(library: object, type_code: int, slot: int) -> None:
    table = lx40.Table.builtin(type_code)
    assert (table.type_code, table.slot) == (type_code, slot)
    assert bytes(table) == (SOURCE_TABLES / f"sensor_table_{type_code}.bin").read_bytes()
    assert table.record_count == len(table.records()) == (len(table) - 18) // 6


def test_only_the_two_builtin_tables_exist(library: object) -> None:
    assert sorted(table.type_code for table in lx40.builtin_tables()) == [8010, 8011]
    with pytest.raises(KeyError, match="8010, 8011"):
        lx40.Table.builtin(9999)


@pytest.mark.serial("BADTABLE1")
def test_a_bad_table_is_never_sent(meter: lx40.Meter) -> None:
    for _, data, code in BAD:
        with pytest.raises(lx40.TableError) as raised:
            meter.load_table(data)
        assert raised.value.code == code
    # The meter is not in the middle of a load: it answers as before.
    assert meter.slots() == (False,) * 7
    assert meter.battery_ok()


# ---- loads in a process of their own -------------------------------------------------


def test_load_with_progress_stores_the_table(child_sim: Path) -> None:
    run = run_scenario(
        "load", child_sim, [{"serial": "LOAD00001", "slots": "0010000"}],
        serial="LOAD00001", table="8010", settle_seconds=0.5,
    )
    assert run.returncode == 0, run.stderr
    out = run.result
    assert "error" not in out, out
    table = lx40.Table.builtin(8010)
    total = table.record_count + 3
    steps: List[List[int]] = out["steps"]
    assert [step[1] for step in steps] == [total] * len(steps)
    assert [step[0] for step in steps] == list(range(1, total + 1))
    assert out["slots_before"] == [False, False, True, False, False, False, False]
    assert out["slots_after"] == [False, True, True, False, False, False, False]
    # The next command waited for the meter to settle after the table.
    [wait] = out["waits_before_next_command"]
    assert 0.4 < wait <= 0.5
    entry = run.meter_state("LOAD00001")
    assert entry["slots"] == "0110000"
    assert stored_tables(entry) == {1: bytes(table)}  # byte for byte
    assert run.open_handles == 0


def test_a_meter_unplugged_mid_load_stores_nothing(child_sim: Path) -> None:
    run = run_scenario(
        "load", child_sim,
        [{"serial": "UNPLUG001", "unplug_at": 60}, {"serial": "STAYS0001"}],
        serial="UNPLUG001", table="8010", settle_seconds=0.0,
    )
    assert run.returncode == 0, run.stderr
    out = run.result
    assert out["error"]["type"] == "SignalError", out["error"]
    assert out["error"]["code"] == -2 and out["error"]["serial"] == "UNPLUG001"
    done = [step[0] for step in out["steps"]]
    assert 0 < len(done) and done[-1] < lx40.Table.builtin(8010).record_count + 3
    assert "slots_after" not in out
    assert out["listed_after"] == ["STAYS0001"]
    entry = run.meter_state("UNPLUG001")
    assert entry["plugged"] is False
    assert (entry["slots"], entry["stored"]) == ("0000000", [])
    assert run.open_handles == 0


def test_a_low_battery_is_an_error_of_its_own(child_sim: Path) -> None:
    run = run_scenario(
        "battery", child_sim, [{"serial": "LOWBAT001", "battery": "low"}], serial="LOWBAT001"
    )
    assert run.returncode == 0, run.stderr
    out = run.result
    assert out["battery_ok"] is False
    assert out["slots_error"]["type"] == "BatteryLowError"
    assert out["slots_error"]["code"] == -5
    assert out["slots_error"]["text"] == lx40.load_library().strerror(-5)
    # load_table checks the battery before it sends anything.
    assert out["load_error"]["type"] == "BatteryLowError"
    entry = run.meter_state("LOWBAT001")
    assert (entry["slots"], entry["stored"], entry["load_in_progress"]) == ("0000000", [], False)
    assert run.open_handles == 0


@pytest.mark.parametrize("how", ["sigint", "progress"])
def test_a_load_stopped_between_steps_stores_nothing(child_sim: Path, how: str) -> None:
    child, state_path = start_scenario(
        "interrupted", child_sim,
        [{"serial": "STOP00001", "latency_us": 3000}],
        serial="STOP00001", how=how,
    )
    if how == "sigint":
        assert child.stdout is not None
        line = child.stdout.readline()
        assert line.strip() == "LOADING", line
        child.send_signal(signal.SIGINT)
    run = finish_scenario(child, state_path)
    assert run.returncode == 0, run.stdout + run.stderr
    out = run.result
    expected = "KeyboardInterrupt" if how == "sigint" else "RuntimeError"
    assert out["stopped_by"]["type"] == expected
    assert any("plugged in again" in note for note in out["stopped_by"]["notes"])
    assert 20 <= out["steps_done"] < out["total"]
    assert out["next_command"]["type"] == "LoadAbandonedError"
    assert out["next_command"]["code"] == -31
    entry = run.meter_state("STOP00001")
    assert (entry["slots"], entry["stored"]) == ("0000000", [])
    assert entry["load_in_progress"] is True  # the meter still waits for table bytes
    assert run.open_handles == 0
