"""Fixtures: Meterlink loaded, the simulated meters of this test process, child processes.

Meterlink is the one named by LX40_METERLINK (scripts/test-all sets it to the
native build's libmeterlink.so). This process gets its meters from a meter
file written here before the first Meterlink call; tests in this process each
use meters of their own, so they do not disturb each other.
"""

from __future__ import annotations

import os
import tempfile
from pathlib import Path
from typing import Iterator, List

import pytest

import lx40
from helpers import ChildRun, meter_file, run_scenario

# The meters of this process. SETTINGS1 is also how the tests tell that the
# simulator took its meters from this file (no default meter has that serial).
SESSION_METERS = [
    {"serial": "A12345678"},
    {"serial": "B23456789", "behind_hub": "yes"},
    {"serial": "A123456789"},
    {"serial": "C00000001", "model": "LX41"},
    {"serial": "SETTINGS1"},
    {"serial": "MARKS0001"},
    {"serial": "OPEN00001"},
    {"serial": "SHARED001"},
    {"serial": "BADTABLE1"},
    {"serial": "EXTRA0001"},  # nine LX40s: more than list_meters first makes room for
]
SESSION_SERIALS_LISTED = [m["serial"] for m in SESSION_METERS if m.get("model", "LX40") == "LX40"]

_session_folder = Path(tempfile.mkdtemp(prefix="lx40-pytest-"))
os.environ["LX40_SIM_METERS"] = str(meter_file(_session_folder / "session.meters", SESSION_METERS))
os.environ.pop("LX40_SIM_STATE", None)


def skip_or_fail(reason: str) -> None:
    """Skips, or fails where the simulator is known to take both variables
    (scripts/test-all sets LX40_SIM_REQUIRED=1), so CI never passes on skips."""
    if os.environ.get("LX40_SIM_REQUIRED") == "1":
        pytest.fail(reason, pytrace=False)
    pytest.skip(reason)


@pytest.fixture(scope="session")
def library() -> lx40._library.Library:
    """Meterlink, loaded; a test run without it fails (it must never pass on nothing)."""
    try:
        return lx40.load_library()
    except lx40.LibraryNotFoundError as error:
        pytest.fail(f"{error}\n(scripts/test-all sets LX40_METERLINK)", pytrace=False)


@pytest.fixture(scope="session")
def session_meters(library: lx40._library.Library) -> List[lx40.MeterInfo]:
    """The meters this process sees; skips when the simulator ignored LX40_SIM_METERS."""
    meters = lx40.list_meters()
    serials = [info.serial for info in meters]
    if "SETTINGS1" not in serials:
        skip_or_fail(
            "the simulator in "
            f"{library.path} does not take its meters from LX40_SIM_METERS "
            f"(listed {serials or 'no meters'}, the file names SETTINGS1)"
        )
    return meters


@pytest.fixture(scope="session")
def child_sim(library: lx40._library.Library) -> Path:
    """A folder for child processes; skips when a child's simulator ignores the two variables."""
    folder = Path(tempfile.mkdtemp(prefix="lx40-child-"))
    probe: ChildRun = run_scenario("listing", folder, [{"serial": "PROBE0001"}])
    if probe.returncode != 0:
        pytest.fail(f"the probe child failed:\n{probe.stdout}\n{probe.stderr}", pytrace=False)
    listed = [info["serial"] for info in probe.result]
    if listed != ["PROBE0001"]:
        skip_or_fail(
            f"the simulator in {library.path} does not take its meters from LX40_SIM_METERS "
            f"(a child with only PROBE0001 in its file listed {listed or 'no meters'})"
        )
    if probe.state is None:
        skip_or_fail(
            f"the simulator in {library.path} does not honour LX40_SIM_STATE "
            "(a child ended without writing its state file)"
        )
    return folder


@pytest.fixture
def meter(
    session_meters: List[lx40.MeterInfo], request: pytest.FixtureRequest
) -> Iterator[lx40.Meter]:
    """A session meter opened for one test (serial from the test's `serial` marker)."""
    marker = request.node.get_closest_marker("serial")
    serial = marker.args[0] if marker else "SETTINGS1"
    with lx40.open(serial) as opened:
        opened.reset_settings()
        yield opened
        if not opened.closed:
            opened.reset_settings()


def pytest_configure(config: pytest.Config) -> None:
    config.addinivalue_line("markers", "serial(name): the session meter the `meter` fixture opens")
    # The package under test is the installed one: the source tree has no
    # built-in tables (they are copied in when the package is built).
    if not (Path(lx40.__file__).parent / "tables").is_dir():
        raise pytest.UsageError(
            f"lx40 was imported from {Path(lx40.__file__).parent}, which has no built-in tables: "
            "install the package (pip install ./python) and run pytest outside python/"
        )
