"""Finding and loading Meterlink (libmeterlink.so, Meterlink.dll).

The places, in order:

1. the path given to :func:`load_library`;
2. the file named by the environment variable ``LX40_METERLINK``;
3. this package's own folder;
4. the system's search path (``ctypes.util.find_library``);
5. on Windows, the install folder (``<Program Files>\\Vantor LX40``), and for a
   32-bit Python its ``x86`` folder, where the 32-bit libraries are.

A path given explicitly (1 or 2) is the only place looked at: a wrong path
is an error, never a silent fall-back to another copy of the library. The
searched places (3 to 5) are tried until one loads. When none does,
:class:`LibraryNotFoundError` lists every place tried and why it failed.
"""

from __future__ import annotations

import ctypes
import ctypes.util
import os
import struct
import sys
import threading
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, List, Mapping, Optional, Sequence, Tuple, Union

from . import _native

PathLike = Union[str, "os.PathLike[str]"]

#: The environment variable that names the library file.
ENVIRONMENT_VARIABLE = "LX40_METERLINK"

#: The folder under Program Files that the Windows installer installs into.
WINDOWS_INSTALL_FOLDER = "Vantor LX40"


class LibraryNotFoundError(OSError):
    """Meterlink could not be loaded from any of the places tried.

    ``tried`` holds one ``(place, reason)`` pair per place, in order.
    """

    def __init__(self, tried: Sequence[Tuple[str, str]]) -> None:
        self.tried: List[Tuple[str, str]] = list(tried)
        lines = ["Meterlink could not be loaded; places tried:"]
        lines += [f"  {place}: {reason}" for place, reason in self.tried]
        lines.append(
            f"Set {ENVIRONMENT_VARIABLE} to the library file, or call lx40.load_library(path)."
        )
        super().__init__("\n".join(lines))


@dataclass(frozen=True)
class Candidate:
    """One place to load the library from.

    ``name`` is a path, or a bare name for the system loader to search;
    ``explicit`` marks a place the user chose, which is the only one tried.
    """

    description: str
    name: Optional[str]
    explicit: bool = False


def library_file_name(system: str) -> str:
    """The library's file name on a system (``os.name`` / ``sys.platform`` style)."""
    if system == "nt":
        return "Meterlink.dll"
    if system == "darwin":
        return "libmeterlink.dylib"
    return "libmeterlink.so"


def candidates(
    explicit: Optional[PathLike],
    environ: Mapping[str, str],
    package_dir: PathLike,
    system: str,
    pointer_bits: int,
    find_library: Callable[[str], Optional[str]],
) -> List[Candidate]:
    """The places to try, in order, for the given circumstances.

    ``system`` is ``"nt"`` for Windows, ``"darwin"`` for macOS, anything else
    for Linux and the like; ``pointer_bits`` is 32 or 64 (the Python's, not the
    machine's). Pure, so the Windows order can be checked anywhere.
    """
    if explicit is not None:
        return [Candidate("path given to load_library", os.fspath(explicit), True)]
    from_environment = environ.get(ENVIRONMENT_VARIABLE)
    if from_environment:
        return [Candidate(f"{ENVIRONMENT_VARIABLE}", from_environment, True)]

    file_name = library_file_name(system)
    places = [Candidate("package folder", os.path.join(os.fspath(package_dir), file_name))]
    search_name = "Meterlink" if system == "nt" else "meterlink"
    found = find_library(search_name)
    places.append(
        Candidate(f"system search path (find_library({search_name!r}))", found)
    )
    if system == "nt":
        # A 32-bit Python on 64-bit Windows sees the 32-bit Program Files as
        # %ProgramFiles%; the installer puts the programs in the 64-bit one,
        # which such a process finds in %ProgramW6432%.
        program_files = environ.get("ProgramW6432") or environ.get("ProgramFiles")
        if program_files:
            folder = os.path.join(program_files, WINDOWS_INSTALL_FOLDER)
            if pointer_bits == 32:
                places.append(
                    Candidate("install folder, x86", os.path.join(folder, "x86", file_name))
                )
            else:
                places.append(Candidate("install folder", os.path.join(folder, file_name)))
        else:
            places.append(Candidate("install folder", None))
    return places


def _open(name: str) -> ctypes.CDLL:
    # CDLL, never WinDLL: every function is cdecl. On Windows a full path
    # makes Python (3.8 and later) also search the DLL's own folder for the
    # DLLs it needs (Bulkpipe.dll).
    return ctypes.CDLL(name)


class Library:
    """A loaded Meterlink with every handle function bound to its prototype."""

    def __init__(self, dll: ctypes.CDLL, path: str) -> None:
        self.dll = dll
        self.path = path
        version = int(dll.mlink_version())
        self.version: Tuple[int, int, int] = (version >> 16, (version >> 8) & 0xFF, version & 0xFF)

    def strerror(self, code: int) -> str:
        """``mlink_strerror``'s text for a result code."""
        raw = self.dll.mlink_strerror(int(code))
        return raw.decode("utf-8", "replace") if raw else f"result code {code}"


def _try_load(candidate: Candidate) -> Tuple[Optional[Library], str]:
    if candidate.name is None:
        return None, "not found"
    looks_like_path = os.sep in candidate.name or (os.altsep or "/") in candidate.name
    if looks_like_path and not os.path.isfile(candidate.name):
        return None, f"{candidate.name}: no such file"
    try:
        dll = _open(candidate.name)
    except OSError as error:
        return None, f"{candidate.name}: {error}"
    try:
        _native.bind(dll)
    except AttributeError as error:
        return None, f"{candidate.name}: not Meterlink with the handle API ({error})"
    library = Library(dll, candidate.name)
    major, minor, patch = library.version
    if major != _native.VERSION_MAJOR or minor < _native.VERSION_MINOR:
        return None, (
            f"{candidate.name}: interface version {major}.{minor}.{patch}, this package needs "
            f"{_native.VERSION_MAJOR}.{_native.VERSION_MINOR} or a later "
            f"{_native.VERSION_MAJOR}.x"
        )
    return library, ""


_lock = threading.Lock()
_loaded: Optional[Library] = None


def load_library(path: Optional[PathLike] = None) -> Library:
    """Loads Meterlink once per process and returns it.

    With ``path``, exactly that file is loaded; call this before anything
    else of the package when the library is not in one of the usual places.
    Once a library is loaded, later calls return it; asking for a different
    file then raises RuntimeError.

    Raises:
        LibraryNotFoundError: no place gave a usable library.
    """
    global _loaded
    with _lock:
        if _loaded is not None:
            if path is not None and os.path.abspath(os.fspath(path)) != os.path.abspath(
                _loaded.path
            ):
                raise RuntimeError(f"Meterlink is already loaded from {_loaded.path}")
            return _loaded
        _native.check_record_layout()
        tried: List[Tuple[str, str]] = []
        places = candidates(
            path,
            os.environ,
            Path(__file__).resolve().parent,
            "nt" if os.name == "nt" else sys.platform,
            struct.calcsize("P") * 8,
            ctypes.util.find_library,
        )
        for candidate in places:
            library, reason = _try_load(candidate)
            if library is not None:
                _loaded = library
                return library
            tried.append((candidate.description, reason))
            if candidate.explicit:
                break
        raise LibraryNotFoundError(tried)
