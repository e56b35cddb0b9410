"""Listing, opening and closing meters; identity, battery, slots; `python -m lx40 list`."""

from __future__ import annotations

import json
import os
import re
import subprocess
import sys
from pathlib import Path
from typing import List

import pytest

import lx40
from conftest import SESSION_SERIALS_LISTED, skip_or_fail
from helpers import meter_file, run_scenario, stored_tables

# Serial numbers with bytes outside printable ASCII, as the simulator's meter
# file writes them (\xNN), and as lx40 shows them: the very same text.
ODD_SERIALS = ["A\\xE9\\xFF1", "\\x1B[2J", "B\\x5C\\x80", "C\\xC3\\xA9"]


def test_list_gives_every_lx40_in_position_order(session_meters: List[lx40.MeterInfo]) -> None:
    # B23456789 sits behind an external hub, which comes after the root hub's ports.
    serials = [info.serial for info in session_meters]
    assert sorted(serials) == sorted(SESSION_SERIALS_LISTED)
    assert "C00000001" not in serials  # model LX41 answers QPID, but not as an LX40
    positions = [info.position for info in session_meters]
    assert positions == sorted(positions) and len(set(positions)) == len(positions)
    first = next(info for info in session_meters if info.serial == "A12345678")
    assert (first.model, first.version, first.maker) == ("LX40", "1.00", "Vantor")
    assert not first.serial_cut and not first.in_use


def test_list_marks_a_meter_open_in_this_process(session_meters: List[lx40.MeterInfo]) -> None:
    with lx40.open("OPEN00001"):
        listed = {info.serial: info for info in lx40.list_meters()}
        assert listed["OPEN00001"].in_use
        assert not listed["A12345678"].in_use
    assert not {info.serial: info for info in lx40.list_meters()}["OPEN00001"].in_use


def test_with_block_closes_and_the_meter_can_be_opened_again(
    session_meters: List[lx40.MeterInfo],
) -> None:
    with lx40.open("OPEN00001") as meter:
        assert not meter.closed
        assert meter.info.serial == "OPEN00001"
        assert meter.identity() == lx40.Identity("Vantor", "LX40", "OPEN00001", "1.00")
    assert meter.closed
    with pytest.raises(lx40.InvalidHandleError) as raised:
        meter.battery_ok()
    assert raised.value.code == -20 and raised.value.serial == "OPEN00001"
    meter.close()  # a second close is harmless
    with lx40.open("OPEN00001") as again:
        assert again.battery_ok() is True


def test_a_block_left_by_an_exception_closes_the_meter(
    session_meters: List[lx40.MeterInfo],
) -> None:
    with pytest.raises(ZeroDivisionError):
        with lx40.open("OPEN00001") as meter:
            1 / 0
    assert meter.closed
    lx40.open("OPEN00001").close()


def test_an_open_meter_cannot_be_opened_twice(session_meters: List[lx40.MeterInfo]) -> None:
    with lx40.open("OPEN00001"):
        with pytest.raises(lx40.AlreadyOpenError) as raised:
            lx40.open("OPEN00001")
    assert raised.value.code == -22
    assert raised.value.text == lx40.load_library().strerror(-22)


@pytest.mark.parametrize(
    "serial",
    ["Z99999999", "A1234567", "A12345678 ", "a12345678", "", "A1234\u00e95678", "A1234\x005678"],
)
def test_only_the_whole_serial_opens_a_meter(
    session_meters: List[lx40.MeterInfo], serial: str
) -> None:
    with pytest.raises(lx40.NoSuchMeterError) as raised:
        lx40.open(serial)
    assert raised.value.code == -21 and raised.value.serial == serial


def test_a_serial_that_another_one_starts_with_opens_its_own_meter(
    session_meters: List[lx40.MeterInfo],
) -> None:
    with lx40.open("A12345678") as short, lx40.open("A123456789") as long:
        assert short.identity().serial == "A12345678"
        assert long.info.serial == "A123456789"


def test_battery_and_slots_of_a_fresh_meter(session_meters: List[lx40.MeterInfo]) -> None:
    with lx40.open("A12345678") as meter:
        assert meter.battery_ok() is True
        assert meter.slots() == (False,) * 7
        assert meter.sensor() != ""


def test_dropping_an_open_meter_frees_it(session_meters: List[lx40.MeterInfo]) -> None:
    lx40.open("OPEN00001")  # never closed by the caller
    with lx40.open("OPEN00001") as meter:
        assert meter.battery_ok()


def test_module_command_lists_the_meters(library: lx40._library.Library, tmp_path: Path) -> None:
    env = dict(os.environ)
    env["LX40_SIM_METERS"] = str(
        meter_file(
            tmp_path / "m", [{"serial": "ZZ0000001"}, {"serial": "ZZ0000002", "version": "123"}]
        )
    )
    run = subprocess.run(
        [sys.executable, "-m", "lx40", "list"],
        env=env, capture_output=True, text=True, timeout=60, cwd=tmp_path,
    )
    if "ZZ0000001" not in run.stdout and run.returncode == 3:
        skip_or_fail("the simulator does not take its meters from LX40_SIM_METERS")
    assert run.returncode == 0, run.stderr
    lines = run.stdout.splitlines()
    assert lines[0].split() == ["position", "port", "serial", "model", "version", "maker"]
    assert [line.split()[2:5] for line in lines[1:]] == [
        ["ZZ0000001", "LX40", "1.00"],
        ["ZZ0000002", "LX40", "1.23"],
    ]


def run_module_list(tmp_path: Path, meters: List[dict], *args: str) -> subprocess.CompletedProcess:
    env = dict(os.environ)
    env["LX40_SIM_METERS"] = str(meter_file(tmp_path / "m", meters))
    return subprocess.run(
        [sys.executable, "-m", "lx40", "list", *args],
        env=env, capture_output=True, text=True, timeout=60, cwd=tmp_path,
    )


def test_module_command_shows_where_each_meter_is_plugged(
    library: lx40._library.Library, tmp_path: Path
) -> None:
    # Two meters answering with one serial number are two lines, told apart
    # by their ports, in the table and in --json alike.
    meters = [{"serial": "ZZ0000001"}, {"serial": "ZZ0000001"}, {"serial": "ZZ0000003"}]
    table = run_module_list(tmp_path, meters)
    if "ZZ0000001" not in table.stdout and table.returncode == 3:
        skip_or_fail("the simulator does not take its meters from LX40_SIM_METERS")
    assert table.returncode == 0, table.stderr
    rows = [line.split() for line in table.stdout.splitlines()[1:]]
    listed = run_module_list(tmp_path, meters, "--json")
    assert listed.returncode == 0, listed.stderr
    places = json.loads(listed.stdout)
    assert [p["serial"] for p in places] == ["ZZ0000001", "ZZ0000001", "ZZ0000003"]
    ports = [p["port"] for p in places]
    assert all(re.fullmatch(r"\d+-\d+(\.\d+)*", port) for port in ports), ports
    assert len(set(ports)) == 3
    assert [row[1] for row in rows] == ports
    assert [row[2] for row in rows] == [p["serial"] for p in places]
    assert [p["serial_shared"] for p in places] == [True, True, False]
    assert ["(serial number shared)" in line for line in table.stdout.splitlines()[1:]] == [
        True,
        True,
        False,
    ]
    assert [p["position"] for p in places] == [int(row[0]) for row in rows]


def test_module_command_json_without_meters_is_an_empty_list(
    library: lx40._library.Library, tmp_path: Path
) -> None:
    listed = run_module_list(tmp_path, [], "--json")
    assert (listed.returncode, json.loads(listed.stdout)) == (3, [])


def test_module_command_shows_device_text_escaped(
    library: lx40._library.Library, tmp_path: Path
) -> None:
    env = dict(os.environ)
    env["LX40_SIM_METERS"] = str(meter_file(tmp_path / "m", [{"serial": s} for s in ODD_SERIALS]))
    run = subprocess.run(
        [sys.executable, "-m", "lx40", "list"],
        env=env, capture_output=True, timeout=60, cwd=tmp_path,
    )
    assert run.returncode == 0, run.stderr
    # Nothing but printable ASCII reaches the terminal: no escape sequence,
    # no replacement character.
    assert all(0x20 <= byte <= 0x7E or byte in b"\r\n" for byte in run.stdout), run.stdout
    listed = [line.split()[2] for line in run.stdout.decode("ascii").splitlines()[1:]]
    assert listed == ODD_SERIALS


def test_every_listed_serial_opens_its_meter(tmp_path: Path) -> None:
    run = run_scenario("open_every_listed", tmp_path, [{"serial": s} for s in ODD_SERIALS])
    assert run.returncode == 0, run.stderr
    assert run.result == [{"listed": s, "identity": s} for s in ODD_SERIALS]


def test_module_command_without_meters_says_so(
    library: lx40._library.Library, tmp_path: Path
) -> None:
    env = dict(os.environ)
    env["LX40_SIM_METERS"] = str(meter_file(tmp_path / "none", []))
    run = subprocess.run(
        [sys.executable, "-m", "lx40", "list"],
        env=env, capture_output=True, text=True, timeout=60, cwd=tmp_path,
    )
    assert (run.returncode, run.stdout.strip()) == (3, "no meters found")


def test_text_commands_for_what_has_no_method(session_meters: List[lx40.MeterInfo]) -> None:
    with lx40.open("OPEN00001") as meter:
        assert meter.command("GET_AVE") == str(meter.averaging)
        assert meter.command("QPID", battery_check=False) == "LX40"
        with pytest.raises(lx40.NotRecognisedError) as raised:
            meter.command("NO_SUCH_COMMAND")
        assert raised.value.code == -4
        with pytest.raises(lx40.ValueRefusedError):
            meter.command("SET_AVE:0")
        assert meter.battery_ok()  # the meter still answers after the refusals


def test_two_meters_with_one_serial_are_each_opened_by_port(child_sim: Path) -> None:
    run = run_scenario(
        "one_serial_twice", child_sim,
        [{"serial": "TWIN00001"}, {"serial": "TWIN00001", "behind_hub": "yes"}],
        serial="TWIN00001", table="8010",
    )
    assert run.returncode == 0, run.stderr
    out = run.result
    places = out["places"]
    assert [p["serial"] for p in places] == ["TWIN00001", "TWIN00001"]
    assert all(p["shared"] for p in places)
    ports = [p["port"] for p in places]
    assert len(set(ports)) == 2 and all(ports), ports
    refused = out["open_by_serial"]
    assert refused["type"] == "AmbiguousMeterError" and refused["ports"] == ports
    assert all(port in refused["message"] for port in ports)
    assert out["loaded"] == ports
    assert out["by_path"] == ports[0]
    assert out["other_generation"]["type"] == "PluggedAgainError"
    # Both meters hold the table, not one of them twice.
    twins = [m for m in run.state["meters"] if m["serial"] == "TWIN00001"]
    assert len(twins) == 2
    table = bytes(lx40.Table.builtin(8010))
    for entry in twins:
        assert stored_tables(entry) == {lx40.Table.builtin(8010).slot: table}
    assert run.open_handles == 0
