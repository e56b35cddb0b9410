"""Record files read back: one :class:`UnitRecord` per record line of lx40's
JSON Lines record files (``lx40 setup --record``, ``lx40 station --record``).

    reader = lx40.read_records(["line1.jsonl", "line2.jsonl"])
    for record in reader:
        print(record.serial, record.result.value, record.bay)
    print(reader.skipped, "lines skipped")

Lines are taken exactly as ``lx40 report`` takes them: a line is a record
when it is one JSON object with every key of a record, each of its type, and
no key this reader does not know (a newer version's line is not guessed at).
Every other line is skipped and counted with its reason and line number;
blank lines are skipped without a count. Records written before bay,
operator, work order and lot existed have None there. A line longer than
256 KiB is skipped without being read whole, so memory does not grow with
the file.
"""

from __future__ import annotations

import enum
import json
import os
import re
from collections import Counter
from dataclasses import dataclass, field
from datetime import datetime, timedelta, timezone
from typing import (
    IO,
    Any,
    Callable,
    Dict,
    Iterable,
    Iterator,
    List,
    Mapping,
    Optional,
    Tuple,
    Union,
)

#: The longest line read as a record (bytes, line end excluded), as lx40 report.
MAX_LINE = 256 * 1024

_INT64_MIN = -(2**63)
_INT64_MAX = 2**63 - 1

PathLike = Union[str, "os.PathLike[str]"]


class Result(enum.Enum):
    """A unit's result, as the record says it."""

    SET = "set"
    ALREADY_SET = "already-set"
    FAILED = "failed"
    CANCELLED = "cancelled"


class SkipReason(enum.Enum):
    """Why a line is not a record (the words lx40 report uses on stderr)."""

    TORN = "torn"  #: JSON that stops before its end (a line cut short)
    NOT_JSON = "not JSON"
    BAD_KEYS = "missing or bad keys"  #: JSON, but a key is missing, of the wrong type or bad
    UNKNOWN_KEYS = "unknown keys"  #: a key this reader does not know: a newer version's line
    TOO_LONG = "too long"  #: over MAX_LINE


@dataclass(frozen=True)
class TableOutcome:
    """One table of a unit: what was done with it and which bytes it was.

    ``source`` and ``sha256`` are None in records written before they existed.
    """

    type: int
    slot: int
    records: int
    crc: str
    outcome: str  #: "written", "present", "failed" or "not-run"
    source: Optional[str] = None
    sha256: Optional[str] = None


@dataclass(frozen=True)
class UnitRecord:
    """One record line: one unit on one station.

    ``started`` and ``finished`` are UTC (timezone-aware). Texts are as
    stored: a meter's bytes outside printable ASCII are ``\\xNN`` already.
    ``path`` and ``line_number`` (from 1) say where the line was read.
    """

    serial: str
    model: str
    version: str
    station: str
    started: datetime
    finished: datetime
    battery: Optional[str]
    slots_before: Optional[str]
    slots_after: Optional[str]
    tables: Tuple[TableOutcome, ...]
    result: Result
    code: int
    message: str
    port: Optional[str] = None
    bay: Optional[str] = None
    operator: Optional[str] = None
    work_order: Optional[str] = None
    lot: Optional[str] = None
    meta: Optional[Mapping[str, Any]] = None
    tool: Optional[str] = None
    seen_before: bool = False
    path: str = field(default="", compare=False)
    line_number: int = field(default=0, compare=False)

    @property
    def unit_seconds(self) -> float:
        """The unit time: finished minus started, in seconds."""
        return (self.finished - self.started).total_seconds()


@dataclass(frozen=True)
class SkippedLine:
    """A line that was not a record."""

    path: str
    line_number: int
    reason: SkipReason


class NotARecordError(ValueError):
    """A line that is not a record; ``reason`` says why."""

    def __init__(self, reason: SkipReason) -> None:
        super().__init__(f"not a record: {reason.value}")
        self.reason = reason


_TIMESTAMP = re.compile(
    r"([0-9]{4})-([0-9]{2})-([0-9]{2})T([0-9]{2}):([0-9]{2}):([0-9]{2})(?:\.([0-9]{1,9}))?Z"
)


def parse_timestamp(text: str) -> Optional[datetime]:
    """A record's time ("2026-12-10T07:07:10.747Z") as an aware UTC datetime;
    None when it is not one. A leap second (":60") counts into the next minute,
    as lx40 report counts it."""
    match = _TIMESTAMP.fullmatch(text)
    if match is None:
        return None
    year, month, day, hour, minute, second = (int(part) for part in match.groups()[:6])
    fraction = match.group(7) or ""
    if hour > 23 or minute > 59 or second > 60:
        return None
    try:
        base = datetime(year, month, day, hour, minute, tzinfo=timezone.utc)
        return base + timedelta(seconds=second, microseconds=int((fraction + "000000")[:6]))
    except (ValueError, OverflowError):  # no such day, or beyond what datetime holds
        return None


def _bad() -> NotARecordError:
    return NotARecordError(SkipReason.BAD_KEYS)


def _text(value: Any) -> str:
    if not isinstance(value, str):
        raise _bad()
    return value


def _text_or_none(value: Any) -> Optional[str]:
    return None if value is None else _text(value)


def _integer(value: Any) -> int:
    # bool is an int in Python, never in JSON; a float is not an integer even when whole.
    if isinstance(value, bool) or not isinstance(value, int):
        raise _bad()
    if not _INT64_MIN <= value <= _INT64_MAX:
        raise _bad()
    return value


def _meta(value: Any) -> Optional[Mapping[str, Any]]:
    if value is None:
        return None
    if not isinstance(value, dict) or any(isinstance(v, (dict, list)) for v in value.values()):
        raise _bad()
    return value


def _table(value: Any) -> TableOutcome:
    if not isinstance(value, dict):
        raise _bad()
    fields: Dict[str, Any] = {}
    for key, item in value.items():
        convert = _TABLE_KEYS.get(key)
        if convert is None:
            raise NotARecordError(SkipReason.UNKNOWN_KEYS)
        fields[key] = convert(item)
    if not _REQUIRED_TABLE_KEYS.issubset(fields):
        raise _bad()
    return TableOutcome(**fields)


def _tables(value: Any) -> Tuple[TableOutcome, ...]:
    if not isinstance(value, list):
        raise _bad()
    return tuple(_table(item) for item in value)


def _result(value: Any) -> Result:
    try:
        return Result(_text(value))
    except ValueError:
        raise _bad() from None


def _seen_before(value: Any) -> bool:
    if not isinstance(value, bool):
        raise _bad()
    return value


_TABLE_KEYS: Dict[str, Callable[[Any], Any]] = {
    "type": _integer,
    "slot": _integer,
    "records": _integer,
    "crc": _text,
    "outcome": _text,
    "source": _text_or_none,
    "sha256": _text_or_none,
}
_REQUIRED_TABLE_KEYS = frozenset(("type", "slot", "records", "crc", "outcome"))

# Every key a record may have, with how its value is taken; the record's
# attribute where its name differs from the key.
_KEYS: Dict[str, Callable[[Any], Any]] = {
    "serial": _text,
    "model": _text,
    "version": _text,
    "station": _text,
    "started": _text,
    "finished": _text,
    "battery": _text_or_none,
    "slots_before": _text_or_none,
    "slots_after": _text_or_none,
    "tables": _tables,
    "result": _result,
    "code": _integer,
    "message": _text,
    "port": _text_or_none,
    "bay": _text_or_none,
    "operator": _text_or_none,
    "work_order": _text_or_none,
    "lot": _text_or_none,
    "meta": _meta,
    "tool": _text_or_none,
    "seen_before": _seen_before,
}
_REQUIRED_KEYS = frozenset(list(_KEYS)[:13])


def _refuse_constant(name: str) -> Any:
    raise ValueError(f"{name} is not JSON")  # NaN, Infinity: Python's extension, not JSON


def _decode(text: str) -> Any:
    try:
        return json.loads(text, parse_constant=_refuse_constant)
    except json.JSONDecodeError as error:
        stripped = text.rstrip(" \t\r")
        # An object that runs into the end of the line: cut short.
        at_end = error.pos >= len(stripped) or error.msg.startswith("Unterminated string")
        if stripped.lstrip(" \t\r").startswith("{") and at_end:
            raise NotARecordError(SkipReason.TORN) from None
        raise NotARecordError(SkipReason.NOT_JSON) from None
    except (ValueError, RecursionError):
        raise NotARecordError(SkipReason.NOT_JSON) from None


def parse_record_line(line: Union[bytes, str], path: str = "", line_number: int = 0) -> UnitRecord:
    """One line (without its line end) as a record.

    Raises:
        NotARecordError: the line is not a record (a blank one included).
    """
    if isinstance(line, bytes):
        if b"\0" in line:
            raise NotARecordError(SkipReason.NOT_JSON)
        # Records are ASCII; any other byte is kept (and then not guessed at) as lx40 does.
        line = line.decode("utf-8", errors="surrogateescape")
    elif "\0" in line:
        raise NotARecordError(SkipReason.NOT_JSON)
    document = _decode(line)
    if not isinstance(document, dict):
        raise _bad()
    values: Dict[str, Any] = {}
    for key, value in document.items():
        convert = _KEYS.get(key)
        if convert is None:
            raise NotARecordError(SkipReason.UNKNOWN_KEYS)
        values[key] = convert(value)
    if not _REQUIRED_KEYS.issubset(values):
        raise _bad()
    started = parse_timestamp(values["started"])
    finished = parse_timestamp(values["finished"])
    if started is None or finished is None:
        raise _bad()
    values["started"], values["finished"] = started, finished
    return UnitRecord(path=path, line_number=line_number, **values)


def _is_blank(line: bytes) -> bool:
    return not line.strip(b" \t\r")


def _lines(file: IO[bytes]) -> Iterator[Optional[bytes]]:
    """The lines of a binary file without their line ends (a CR before the
    LF dropped); None for a line over MAX_LINE, which is never held whole."""
    while True:
        line = file.readline(MAX_LINE + 2)
        if not line:
            return
        if line.endswith(b"\n"):
            line = line[:-1]
        elif len(line) == MAX_LINE + 2:
            # No line end within the cap: read on to it in bounded pieces.
            while True:
                piece = file.readline(MAX_LINE)
                if not piece or piece.endswith(b"\n"):
                    break
            yield None
            continue
        if line.endswith(b"\r"):
            line = line[:-1]
        yield None if len(line) > MAX_LINE else line


class RecordReader(Iterator[UnitRecord]):
    """The records of some record files, in file order and line order.

    Iterate it once. While and after it runs, :attr:`skipped` counts the
    lines that were not records, :attr:`skipped_by_reason` counts them by
    reason and :attr:`skipped_lines` names the first ``keep_skipped`` of
    them (``on_skip`` is called for every one). A file that cannot be opened
    raises OSError when the reader reaches it.
    """

    def __init__(
        self,
        paths: Iterable[PathLike],
        keep_skipped: int = 100,
        on_skip: Optional[Callable[[SkippedLine], None]] = None,
    ) -> None:
        if isinstance(paths, (str, bytes, os.PathLike)):
            paths = [paths]  # one file given alone, not its characters
        self._paths = [os.fspath(path) for path in paths]
        self._keep = keep_skipped
        self._on_skip = on_skip
        self._records = self._read()
        self.lines = 0  #: lines read, blank ones too
        self.records = 0
        self.skipped = 0
        self.skipped_by_reason: "Counter[SkipReason]" = Counter()
        self.skipped_lines: List[SkippedLine] = []

    def __iter__(self) -> "RecordReader":
        return self

    def __next__(self) -> UnitRecord:
        return next(self._records)

    def _skip(self, path: str, line_number: int, reason: SkipReason) -> None:
        self.skipped += 1
        self.skipped_by_reason[reason] += 1
        skipped = SkippedLine(path, line_number, reason)
        if len(self.skipped_lines) < self._keep:
            self.skipped_lines.append(skipped)
        if self._on_skip is not None:
            self._on_skip(skipped)

    def _read(self) -> Iterator[UnitRecord]:
        for path in self._paths:
            with open(path, "rb") as file:
                for number, line in enumerate(_lines(file), start=1):
                    self.lines += 1
                    if line is None:
                        self._skip(path, number, SkipReason.TOO_LONG)
                        continue
                    if _is_blank(line):
                        continue
                    try:
                        record = parse_record_line(line, path, number)
                    except NotARecordError as bad:
                        self._skip(path, number, bad.reason)
                        continue
                    self.records += 1
                    yield record

    def summary(self) -> str:
        """"3 lines skipped (2 torn, 1 not JSON), lines 4, 7, 9", as lx40 report
        words it for a file (the first five skipped lines named); "" when none."""
        if self.skipped == 0:
            return ""
        reasons = ", ".join(
            f"{self.skipped_by_reason[reason]} {reason.value}"
            for reason in SkipReason
            if self.skipped_by_reason[reason]
        )
        named = [str(line.line_number) for line in self.skipped_lines[:5]]
        more = ", ..." if self.skipped > len(named) else ""
        return (
            f"{self.skipped} line{'s' if self.skipped != 1 else ''} skipped ({reasons}), "
            f"line{'s' if len(named) != 1 else ''} {', '.join(named)}{more}"
        )


def read_records(
    paths: Union[PathLike, Iterable[PathLike]],
    keep_skipped: int = 100,
    on_skip: Optional[Callable[[SkippedLine], None]] = None,
) -> RecordReader:
    """The records of the record files at ``paths`` (one path or several), as
    a :class:`RecordReader`: iterate it for :class:`UnitRecord` objects, then
    read its skip counts."""
    return RecordReader(paths, keep_skipped, on_skip)
