"""Finding Meterlink, the records' layout and the mapping of result codes to exceptions."""

from __future__ import annotations

import ctypes
import ctypes.util
import os
import re
import subprocess
import sys
from pathlib import Path
from typing import Dict, Optional

import pytest

import lx40
from lx40 import _library, _native, errors


def no_library(name: str) -> Optional[str]:
    return None


def places(**kwargs: object) -> list:
    arguments: Dict[str, object] = dict(
        explicit=None,
        environ={},
        package_dir="/pkg/lx40",
        system="linux",
        pointer_bits=64,
        find_library=no_library,
    )
    arguments.update(kwargs)
    found = _library.candidates(**arguments)  # type: ignore[arg-type]
    return [(c.description, c.name) for c in found]


def test_explicit_path_and_variable_are_the_only_place_tried() -> None:
    assert places(explicit="/opt/m/libmeterlink.so", environ={"LX40_METERLINK": "/x.so"}) == [
        ("path given to load_library", "/opt/m/libmeterlink.so")
    ]
    assert places(environ={"LX40_METERLINK": "/x/libmeterlink.so"}) == [
        ("LX40_METERLINK", "/x/libmeterlink.so")
    ]


def test_linux_searches_package_folder_then_system_path() -> None:
    found = places(find_library=lambda name: f"lib{name}.so.1")
    assert found == [
        ("package folder", os.path.join("/pkg/lx40", "libmeterlink.so")),
        ("system search path (find_library('meterlink'))", "libmeterlink.so.1"),
    ]


@pytest.mark.parametrize(
    "bits, environ, last",
    [
        (
            64,
            {"ProgramFiles": r"C:\PF"},
            ("install folder", os.path.join(r"C:\PF", "Vantor LX40", "Meterlink.dll")),
        ),
        # A 32-bit Python on 64-bit Windows: %ProgramFiles% is the x86 one; the
        # install folder is under %ProgramW6432%, the 32-bit DLL in its x86 folder.
        (
            32,
            {"ProgramFiles": r"C:\PF (x86)", "ProgramW6432": r"C:\PF"},
            ("install folder, x86", os.path.join(r"C:\PF", "Vantor LX40", "x86", "Meterlink.dll")),
        ),
        (64, {}, ("install folder", None)),
    ],
)
def test_windows_order_ends_with_the_install_folder(bits: int, environ: dict, last: tuple) -> None:
    found = places(system="nt", pointer_bits=bits, environ=environ, find_library=no_library)
    assert found[0] == ("package folder", os.path.join("/pkg/lx40", "Meterlink.dll"))
    assert found[1] == ("system search path (find_library('Meterlink'))", None)
    assert found[2:] == [last]


def run_list(env_update: Dict[str, str], *args: str) -> subprocess.CompletedProcess:
    env = dict(os.environ)
    env.update(env_update)
    return subprocess.run(
        [sys.executable, "-m", "lx40", *args, "list"],
        env=env,
        capture_output=True,
        text=True,
        timeout=60,
        cwd=Path(__file__).parent,
    )


def test_a_missing_library_names_every_place_tried(tmp_path: Path) -> None:
    missing = tmp_path / "libmeterlink.so"
    run = run_list({"LX40_METERLINK": str(missing)})
    assert run.returncode == 2
    assert "places tried" in run.stderr
    assert f"LX40_METERLINK: {missing}: no such file" in run.stderr


def test_without_any_setting_every_search_place_is_reported(tmp_path: Path) -> None:
    env = {key: value for key, value in os.environ.items() if key != "LX40_METERLINK"}
    run = subprocess.run(
        [sys.executable, "-c", "import lx40; lx40.load_library()"],
        env=env, capture_output=True, text=True, timeout=60, cwd=tmp_path,
    )
    if run.returncode == 0:
        pytest.skip("a Meterlink is installed on the system search path")
    assert "package folder" in run.stderr
    assert "system search path" in run.stderr


def test_a_library_without_the_handle_api_is_refused() -> None:
    libc = ctypes.util.find_library("c")
    assert libc is not None
    library, reason = _library._try_load(_library.Candidate("test", libc, True))
    assert library is None
    assert "not Meterlink with the handle API" in reason
    assert "mlink_" in reason


def test_the_library_is_loaded_once(library: _library.Library) -> None:
    assert lx40.load_library() is library
    assert lx40.load_library(library.path) is library
    with pytest.raises(RuntimeError):
        lx40.load_library("/elsewhere/libmeterlink.so")
    assert library.version[0] == _native.VERSION_MAJOR


def test_records_have_the_c_layout() -> None:
    _native.check_record_layout()
    info = _native.MeterInfoRecord
    assert (info.maker.offset, info.model.offset, info.version.offset) == (48, 78, 108)
    assert (info.position.offset, info.flags.offset) == (116, 120)
    assert _native.TableInfoRecord.crc.offset == 20
    assert _native.IdnInfo.version.offset == 75
    place = _native.MeterPlaceRecord
    assert (place.path.offset, place.port.offset, place.generation.offset) == (0, 512, 544)
    assert (place.flags.offset, place.info.offset) == (548, 552)


# ---- result codes -----------------------------------------------------------------

CODES = [
    (_native.RAW_FAILED, lx40.SignalError),
    (_native.BAD_ARGUMENT, lx40.ValueRefusedError),
    (_native.TRANSPORT_FAILED, lx40.SignalError),
    (_native.NOT_RECOGNISED, lx40.NotRecognisedError),
    (_native.BATTERY_LOW, lx40.BatteryLowError),
    (_native.NOT_A_METER, lx40.NotAMeterError),
    (_native.SENSOR_OR_MEMORY, lx40.SensorOrMemoryError),
    (_native.MODE_OR_NO_DATA, lx40.ModeError),
    (_native.ERR_INVALID_HANDLE, lx40.InvalidHandleError),
    (_native.ERR_NO_SUCH_METER, lx40.NoSuchMeterError),
    (_native.ERR_ALREADY_OPEN, lx40.AlreadyOpenError),
    (_native.ERR_BUFFER_TOO_SMALL, lx40.BufferTooSmallError),
    (_native.ERR_TABLE_SIZE, lx40.TableError),
    (_native.ERR_TABLE_RECORDS, lx40.TableError),
    (_native.ERR_TABLE_CRC, lx40.TableError),
    (_native.ERR_TABLE_SLOT, lx40.TableError),
    (_native.ERR_LOAD_STATE, lx40.LoadStateError),
    (_native.ERR_HANDSHAKE, lx40.HandshakeError),
    (_native.ERR_NO_ANSWER, lx40.NoAnswerError),
    (_native.ERR_LOAD_ABANDONED, lx40.LoadAbandonedError),
    (_native.ERR_NO_MEMORY, lx40.OutOfMemoryError),
    (_native.ERR_LOCK_FAILED, lx40.LockFailedError),
    (_native.ERR_NEEDS_REPLUG, lx40.NeedsReplugError),
    (_native.ERR_REPLUGGED, lx40.PluggedAgainError),
    (_native.ERR_IN_USE_ELSEWHERE, lx40.InUseElsewhereError),
    (-99, lx40.MeterError),
]


@pytest.mark.parametrize("code, cls", CODES)
def test_each_code_raises_its_class_with_meterlinks_text(
    library: _library.Library, code: int, cls: type
) -> None:
    error = errors.make_error(code, library.strerror(code), "mlink_x", "A1")
    assert type(error) is cls
    assert isinstance(error, lx40.MeterError)
    assert error.code == code
    assert error.text == library.strerror(code) != ""
    assert str(error) == f"A1: mlink_x: {error.text} (code {code})"


def test_every_known_code_has_its_own_text(library: _library.Library) -> None:
    texts = {library.strerror(code) for code, _ in CODES[:-1]}
    assert len(texts) == len(CODES) - 1
    assert library.strerror(-99) not in texts


def test_refusals_are_also_value_errors() -> None:
    assert issubclass(lx40.ValueRefusedError, ValueError)
    assert issubclass(lx40.TableError, ValueError)
    assert issubclass(lx40.LoadAbandonedError, lx40.LoadError)


def test_the_package_carries_the_projects_version() -> None:
    from helpers import REPOSITORY

    assert lx40.__version__ == (REPOSITORY / "VERSION").read_text().strip()


def _mlink_h_numbers() -> Dict[str, int]:
    """Every integer MLINK_ macro and enum value of mlink.h, by name without the prefix."""
    from helpers import REPOSITORY

    text = (REPOSITORY / "meterlink" / "include" / "mlink.h").read_text(encoding="utf-8")
    text = re.sub(r"\\\n", " ", text)  # continued lines
    text = re.sub(r"/\*.*?\*/", " ", text, flags=re.S)
    numbers: Dict[str, int] = {}
    for name, value in re.findall(
        r"^\s*#define\s+MLINK_(\w+)\s+\(?(-?(?:0x[0-9A-Fa-f]+|\d+))u?\)?\s*$", text, re.M
    ):
        numbers[name] = int(value, 0)
    for name, value in re.findall(r"\bMLINK_(\w+)\s*=\s*(-?\d+)", text):
        numbers[name] = int(value)
    return numbers


def test_constants_are_mlink_hs() -> None:
    """Python cannot read the header's macros: its copies are compared with them here."""
    numbers = _mlink_h_numbers()
    assert numbers["SETTLE_MS"] == _native.SETTLE_MS == 3000
    assert lx40.SETTLE_SECONDS * 1000 == numbers["SETTLE_MS"]
    # The interface version is the one the package needs, not the header's.
    compared = {name: value for name, value in numbers.items() if not name.startswith("VERSION")}
    mirrored = {name: getattr(_native, name) for name in compared if hasattr(_native, name)}
    assert mirrored == {name: compared[name] for name in mirrored}
    assert len(mirrored) >= 40, sorted(set(compared) - set(mirrored))
