"""What the tests share: table bytes made to order, meter files, the simulator's state file,
and running code in a process of its own with its own simulated meters.

The simulated USB bus lives in the Meterlink process. Every program on the
simulator takes its meters from the file named by LX40_SIM_METERS and, with
LX40_SIM_STATE=<file>, writes what each meter holds when it ends. A test that
needs particular meters, or must see what the meters stored, runs its code
under test in a child process (scenarios.py) with its own two variables.
"""

from __future__ import annotations

import json
import os
import struct
import subprocess
import sys
from dataclasses import dataclass
from pathlib import Path
from typing import Any, Dict, Iterable, List, Mapping, Optional, Sequence, Tuple

TESTS = Path(__file__).resolve().parent
REPOSITORY = TESTS.parent.parent
SCENARIOS = TESTS / "scenarios.py"
CHILD_TIMEOUT = 120


def crc16_ccitt_false(data: bytes) -> int:
    """CRC-16/CCITT-FALSE, to make table fixtures (the package itself never checks a CRC)."""
    crc = 0xFFFF
    for byte in data:
        crc ^= byte << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021) if crc & 0x8000 else (crc << 1)
            crc &= 0xFFFF
    return crc


def make_table(
    slot: int,
    type_code: int,
    records: Sequence[Tuple[int, float]],
    header_wavelengths: Tuple[int, int, int, int] = (850, 1310, 1490, 1550),
) -> bytes:
    """A well-formed table with these records."""
    size = 16 + 6 * len(records) + 2
    body = struct.pack(">HHHH4H", size, len(records), slot, type_code, *header_wavelengths)
    body += b"".join(struct.pack(">Hf", nm, coefficient) for nm, coefficient in records)
    return body + struct.pack(">H", crc16_ccitt_false(body))


def meter_file(path: Path, meters: Iterable[Mapping[str, Any]]) -> Path:
    """Writes a simulator meter file: one [meter] section per mapping, in order."""
    lines: List[str] = []
    for meter in meters:
        lines.append("[meter]")
        for key, value in meter.items():
            values = value if isinstance(value, (list, tuple)) else [value]
            lines += [f"{key} = {item}" for item in values]
        lines.append("")
    path.write_text("\n".join(lines), encoding="ascii")
    return path


@dataclass
class ChildRun:
    """What a child process did: its exit status, output, result and the meters' state."""

    returncode: int
    stdout: str
    stderr: str
    result: Any
    state: Optional[Any]

    def meter_state(self, serial: str) -> Dict[str, Any]:
        """The state the simulator wrote for one meter (the test fails when there is none)."""
        entry = find_meter_state(self.state, serial)
        assert entry is not None, f"no state of {serial}: {self.state}"
        return entry

    @property
    def open_handles(self) -> int:
        """The simulator's pipe and device handles still open when the child ended."""
        assert self.state is not None
        return int(self.state["open_handles"])


def find_meter_state(state: Any, serial: str) -> Optional[Dict[str, Any]]:
    """One meter's record in the simulator's state JSON:
    {"meters": [{"serial", "plugged", "exchanges", "load_in_progress", "slots": "0100000",
    "stored": [{"slot", "size", "crc", "bytes"}]}], "open_handles": n}.
    """
    if state is None:
        return None
    for entry in state["meters"]:
        if entry["serial"] == serial:
            return entry
    return None


def stored_tables(entry: Mapping[str, Any]) -> Dict[int, bytes]:
    """The tables a meter stored since power-on, by slot."""
    return {table["slot"]: bytes.fromhex(table["bytes"]) for table in entry["stored"]}


def child_env(meters: Path, state: Optional[Path]) -> Dict[str, str]:
    env = dict(os.environ)
    env["LX40_SIM_METERS"] = str(meters)
    env.pop("LX40_SIM_STATE", None)
    if state is not None:
        env["LX40_SIM_STATE"] = str(state)
    return env


def start_scenario(
    name: str, folder: Path, meters: Iterable[Mapping[str, Any]], **args: Any
) -> Tuple["subprocess.Popen[str]", Path]:
    """Starts scenarios.py NAME in a child with its own meters; returns it and its state file."""
    meters_path = meter_file(folder / f"{name}.meters", meters)
    state_path = folder / f"{name}.state.json"
    if state_path.exists():
        state_path.unlink()
    child = subprocess.Popen(
        [sys.executable, str(SCENARIOS), name, json.dumps(args)],
        env=child_env(meters_path, state_path),
        stdin=subprocess.DEVNULL,
        stdout=subprocess.PIPE,
        stderr=subprocess.PIPE,
        text=True,
        cwd=folder,
    )
    return child, state_path


def finish_scenario(child: "subprocess.Popen[str]", state_path: Path) -> ChildRun:
    try:
        stdout, stderr = child.communicate(timeout=CHILD_TIMEOUT)
    except subprocess.TimeoutExpired:
        child.kill()
        stdout, stderr = child.communicate()
        raise AssertionError(f"child did not end in {CHILD_TIMEOUT} s:\n{stdout}\n{stderr}")
    result = None
    lines = [line for line in stdout.splitlines() if line.startswith("RESULT ")]
    if lines:
        result = json.loads(lines[-1][len("RESULT ") :])
    state = json.loads(state_path.read_text()) if state_path.exists() else None
    return ChildRun(child.returncode, stdout, stderr, result, state)


def run_scenario(
    name: str, folder: Path, meters: Iterable[Mapping[str, Any]], **args: Any
) -> ChildRun:
    """Runs scenarios.py NAME to its end (see start_scenario)."""
    child, state_path = start_scenario(name, folder, meters, **args)
    return finish_scenario(child, state_path)
