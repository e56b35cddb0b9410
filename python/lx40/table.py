"""Sensor data tables: read from a file or the built-in ones, checked by Meterlink.

A table is big-endian: a 16-byte header (total size, record count, slot,
sensor type code, four header wavelengths), 6-byte records (wavelength in
nm, single-precision coefficient) and a CRC-16 trailer. Every table made
here has passed ``mlink_table_check``, Meterlink's own check; this module
only reads the fields out for display.
"""

from __future__ import annotations

import ctypes
import os
import struct
from dataclasses import dataclass, field
from pathlib import Path
from typing import List, Tuple, Union

from . import _native
from ._library import load_library
from .errors import TableError, make_error

#: Where the built-in tables are installed (copied there when the package is built).
BUILTIN_FOLDER = Path(__file__).resolve().parent / "tables"


@dataclass(frozen=True)
class TableRecord:
    """One record: a wavelength (nm) and its correction coefficient."""

    wavelength: int
    coefficient: float


@dataclass(frozen=True)
class Table:
    """A checked sensor data table. Make one with :meth:`from_bytes`,
    :meth:`from_file` or :meth:`builtin`; ``bytes(table)`` gives its bytes.
    """

    data: bytes = field(repr=False)
    total_size: int
    record_count: int
    slot: int
    type_code: int
    header_wavelengths: Tuple[int, int, int, int]
    min_wavelength: int
    max_wavelength: int
    crc: int

    @classmethod
    def from_bytes(cls, data: Union[bytes, bytearray, memoryview]) -> "Table":
        """Checks a table's bytes with ``mlink_table_check``.

        Raises:
            TableError: size field, record count, slot or CRC is wrong (the
                first fault found; ``code`` tells which).
        """
        data = bytes(data)
        library = load_library()
        info = _native.TableInfoRecord()
        buffer = ctypes.create_string_buffer(data, len(data))
        code = library.dll.mlink_table_check(buffer, len(data), ctypes.byref(info))
        if code != _native.OK:
            raise make_error(code, library.strerror(code), "mlink_table_check")
        return cls(
            data=data,
            total_size=int(info.total_size),
            record_count=int(info.records),
            slot=int(info.slot),
            type_code=int(info.type_code),
            header_wavelengths=(
                int(info.header_wavelengths[0]),
                int(info.header_wavelengths[1]),
                int(info.header_wavelengths[2]),
                int(info.header_wavelengths[3]),
            ),
            min_wavelength=int(info.min_wavelength),
            max_wavelength=int(info.max_wavelength),
            crc=int(info.crc),
        )

    @classmethod
    def from_file(cls, path: Union[str, "os.PathLike[str]"]) -> "Table":
        """Reads and checks a table file.

        A file larger than the largest table is refused without reading it
        all.

        Raises:
            OSError: the file cannot be read.
            TableError: the file is not a good table.
        """
        with open(path, "rb") as file:
            data = file.read(_native.TABLE_MAX_SIZE + 1)
        if len(data) > _native.TABLE_MAX_SIZE:
            library = load_library()
            code = _native.ERR_TABLE_SIZE
            raise TableError(
                code,
                f"{library.strerror(code)}: more than {_native.TABLE_MAX_SIZE} bytes",
                os.fspath(path),
            )
        return cls.from_bytes(data)

    @classmethod
    def builtin(cls, type_code: int) -> "Table":
        """The built-in table of a sensor type (8010 or 8011).

        Raises:
            KeyError: no built-in table has this type code.
        """
        for table in builtin_tables():
            if table.type_code == type_code:
                return table
        known = ", ".join(str(table.type_code) for table in builtin_tables()) or "none installed"
        raise KeyError(f"no built-in table of sensor type {type_code} (built in: {known})")

    def records(self) -> List[TableRecord]:
        """Every record, in table order."""
        out = []
        start = _native.TABLE_HEADER_SIZE
        for index in range(self.record_count):
            wavelength, coefficient = struct.unpack_from(
                ">Hf", self.data, start + index * _native.TABLE_RECORD_SIZE
            )
            out.append(TableRecord(wavelength, coefficient))
        return out

    def __bytes__(self) -> bytes:
        return self.data

    def __len__(self) -> int:
        return len(self.data)


def builtin_tables() -> List[Table]:
    """The built-in tables shipped with the package, in file name order."""
    if not BUILTIN_FOLDER.is_dir():
        return []
    return [Table.from_file(path) for path in sorted(BUILTIN_FOLDER.glob("*.bin"))]
