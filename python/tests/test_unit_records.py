"""Record files read back: lx40.read_records takes and skips lines as lx40 report does."""

from __future__ import annotations

import json
import os
import subprocess
from collections import Counter
from datetime import datetime, timedelta, timezone
from pathlib import Path
from typing import Any, Dict, List, Optional

import pytest

import lx40
from lx40.unit_records import MAX_LINE, parse_timestamp

Reason = lx40.SkipReason

TABLE = {
    "type": 8010,
    "slot": 1,
    "records": 781,
    "crc": "4D6F",
    "outcome": "written",
    "source": "built-in",
    "sha256": "ab" * 32,
}


DROP = object()  # a key left out, as in records older than it


def record(**changes: Any) -> Dict[str, Any]:
    """A record line's object as lx40 writes it today, with `changes`."""
    value: Dict[str, Any] = {
        "serial": "A12345678",
        "model": "LX40",
        "version": "1.00",
        "station": "ST01",
        "started": "2026-12-10T07:07:10.747Z",
        "finished": "2026-12-10T07:07:16.762Z",
        "battery": "ok",
        "slots_before": "0000000",
        "slots_after": "0101000",
        "tables": [TABLE],
        "result": "set",
        "code": 1,
        "message": "Data setup is complete.",
        "port": "1-2.4",
        "bay": "B01",
        "operator": "kim",
        "work_order": "WO-7",
        "lot": "L3",
        "meta": {"shift": "late"},
        "tool": "lx40 1.1.0",
    }
    for key, changed in changes.items():
        if changed is DROP:
            value.pop(key, None)
        else:
            value[key] = changed
    return value


def line(**changes: Any) -> bytes:
    return json.dumps(record(**changes), separators=(",", ":")).encode()


GOOD = line()
OLD = line(port=DROP, bay=DROP, operator=DROP, work_order=DROP, lot=DROP, meta=DROP, tool=DROP)
OLD_TABLE = line(tables=[{k: v for k, v in TABLE.items() if k not in ("source", "sha256")}])

# Each line, and what the reader makes of it: a record, or the reason it is skipped.
LINES: List[tuple] = [
    ("a whole record", GOOD, None),
    ("a record before bay and operator existed", OLD, None),
    ("a table before source and sha256", OLD_TABLE, None),
    ("nulls where a record may have them", line(battery=None, bay=None, meta=None), None),
    ("CR before the line feed", GOOD + b"\r", None),
    ("spaces around the object", b"  " + GOOD + b" \t", None),
    ("seen before, the last key", GOOD[:-1] + b',"seen_before":true}', None),
    ("a leap second", line(finished="2026-12-31T23:59:60.000Z"), None),
    ("no fraction of a second", line(started="2026-12-10T07:07:10Z"), None),
    ("cut in the middle", GOOD[: len(GOOD) // 2], Reason.TORN),
    ("cut inside a text", GOOD[: GOOD.index(b"ST01") + 2], Reason.TORN),
    ("cut before the last brace", GOOD[:-1], Reason.TORN),
    ("cut after a comma", GOOD[: GOOD.index(b',"model"') + 1], Reason.TORN),
    ("not JSON", b"lx40 was here", Reason.NOT_JSON),
    ("a second object on the line", GOOD + GOOD, Reason.NOT_JSON),
    ("text after the object", GOOD + b" x", Reason.NOT_JSON),
    ("a NUL byte", GOOD[:10] + b"\0" + GOOD[10:], Reason.NOT_JSON),
    ("NaN, which is not JSON", GOOD.replace(b'"code":1', b'"code":NaN'), Reason.NOT_JSON),
    ("a JSON array", b"[1, 2]", Reason.BAD_KEYS),
    ("a JSON number", b"42", Reason.BAD_KEYS),
    ("an empty object", b"{}", Reason.BAD_KEYS),
    ("result missing", line(result=DROP), Reason.BAD_KEYS),
    ("tables missing", line(tables=DROP), Reason.BAD_KEYS),
    ("a result of no known kind", line(result="done"), Reason.BAD_KEYS),
    ("code as text", line(code="1"), Reason.BAD_KEYS),
    ("code as a fraction", line(code=1.5), Reason.BAD_KEYS),
    ("code as true", line(code=True), Reason.BAD_KEYS),
    ("code beyond 64 bits", line(code=2**63), Reason.BAD_KEYS),
    ("serial as a number", line(serial=12), Reason.BAD_KEYS),
    ("serial null", line(serial=None), Reason.BAD_KEYS),
    ("bay as a number", line(bay=3), Reason.BAD_KEYS),
    ("seen before null", line(seen_before=None), Reason.BAD_KEYS),
    ("meta nested", line(meta={"a": {"b": 1}}), Reason.BAD_KEYS),
    ("a table without its CRC", line(tables=[{"type": 8010, "slot": 1, "records": 9,
                                              "outcome": "written"}]), Reason.BAD_KEYS),
    ("a table that is a number", line(tables=[8010]), Reason.BAD_KEYS),
    ("17 tables", line(tables=[TABLE] * 17), None),
    ("the 17th table's type as text", line(tables=[TABLE] * 16 + [dict(TABLE, type="8010")]),
     Reason.BAD_KEYS),
    ("a started time without Z", line(started="2026-12-10T07:07:10.747"), Reason.BAD_KEYS),
    ("a day that does not exist", line(started="2026-02-30T07:07:10.747Z"), Reason.BAD_KEYS),
    ("hour 24", line(started="2026-12-10T24:00:00.000Z"), Reason.BAD_KEYS),
    ("a key of a newer version", GOOD[:-1] + b',"humidity":40}', Reason.UNKNOWN_KEYS),
    ("a table key of a newer version", line(tables=[dict(TABLE, retries=2)]),
     Reason.UNKNOWN_KEYS),
    ("over 256 KiB", line(message="x" * MAX_LINE), Reason.TOO_LONG),
]


@pytest.mark.parametrize("text, reason", [c[1:] for c in LINES], ids=[c[0] for c in LINES])
def test_each_line_is_a_record_or_skipped_with_its_reason(
    tmp_path: Path, text: bytes, reason: Optional[lx40.SkipReason]
) -> None:
    path = tmp_path / "record.jsonl"
    path.write_bytes(b"\n" + text + b"\n" + GOOD + b"\n")
    reader = lx40.read_records(path)
    records = list(reader)
    # The good line after it is always read, with its own line number.
    assert records[-1].line_number == 3
    assert reader.lines == 3
    if reason is None:
        assert len(records) == 2 and reader.skipped == 0 and reader.summary() == ""
        assert records[0].line_number == 2
    else:
        assert len(records) == 1
        assert reader.skipped_lines == [lx40.SkippedLine(str(path), 2, reason)]
        assert reader.skipped_by_reason == Counter({reason: 1})
        assert reader.summary() == f"1 line skipped (1 {reason.value}), line 2"


def test_a_record_is_read_key_by_key() -> None:
    full = lx40.unit_records.parse_record_line(GOOD[:-1] + b',"seen_before":true}', "f", 7)
    assert full == lx40.UnitRecord(
        serial="A12345678",
        model="LX40",
        version="1.00",
        station="ST01",
        started=datetime(2026, 12, 10, 7, 7, 10, 747000, tzinfo=timezone.utc),
        finished=datetime(2026, 12, 10, 7, 7, 16, 762000, tzinfo=timezone.utc),
        battery="ok",
        slots_before="0000000",
        slots_after="0101000",
        tables=(lx40.TableOutcome(8010, 1, 781, "4D6F", "written", "built-in", "ab" * 32),),
        result=lx40.Result.SET,
        code=1,
        message="Data setup is complete.",
        port="1-2.4",
        bay="B01",
        operator="kim",
        work_order="WO-7",
        lot="L3",
        meta={"shift": "late"},
        tool="lx40 1.1.0",
        seen_before=True,
    )
    assert (full.path, full.line_number) == ("f", 7)
    assert full.unit_seconds == pytest.approx(6.015)

    old = lx40.unit_records.parse_record_line(OLD)
    assert (old.port, old.bay, old.operator, old.work_order, old.lot, old.meta, old.tool) == (
        None,
    ) * 7
    assert old.seen_before is False
    assert lx40.unit_records.parse_record_line(OLD_TABLE).tables[0].sha256 is None
    with pytest.raises(lx40.NotARecordError) as raised:
        lx40.unit_records.parse_record_line(b"")
    assert raised.value.reason is Reason.NOT_JSON


TIMES = [
    ("2026-12-10T07:07:10.747Z", datetime(2026, 12, 10, 7, 7, 10, 747000, tzinfo=timezone.utc)),
    ("2026-12-10T07:07:10.123456789Z", datetime(2026, 12, 10, 7, 7, 10, 123456, tzinfo=timezone.utc)),
    ("2024-02-29T00:00:00Z", datetime(2024, 2, 29, tzinfo=timezone.utc)),
    ("2026-12-31T23:59:60Z", datetime(2027, 1, 1, tzinfo=timezone.utc)),
    ("2026-12-31T23:59:60.5Z", datetime(2027, 1, 1, tzinfo=timezone.utc) + timedelta(seconds=0.5)),
    ("2025-02-29T00:00:00Z", None),
    ("2026-13-01T00:00:00Z", None),
    ("2026-12-10T07:60:00Z", None),
    ("2026-12-10T07:07:10.Z", None),
    ("2026-12-10T07:07:10.1234567890Z", None),
    ("2026-12-10 07:07:10Z", None),
    ("2026-12-10T07:07:10+00:00", None),
    ("9999-12-31T23:59:60Z", None),  # past what a datetime holds
    ("", None),
]


@pytest.mark.parametrize("text, expected", TIMES, ids=[t[0] or "empty" for t in TIMES])
def test_record_times(text: str, expected: Optional[datetime]) -> None:
    assert parse_timestamp(text) == expected


def test_files_are_read_in_order_and_blank_lines_are_not_counted(tmp_path: Path) -> None:
    one, two, empty = tmp_path / "one.jsonl", tmp_path / "two.jsonl", tmp_path / "empty.jsonl"
    one.write_bytes(
        line(serial="S1") + b"\r\n\r\n   \n" + b"torn {" + b"\n" + line(serial="S2") + b"\r\n"
    )
    empty.write_bytes(b"")
    # The last line has no line feed: its writer was stopped in the middle of it.
    two.write_bytes(line(serial="S3") + b"\n" + line(serial="S4")[:40])
    seen: List[lx40.SkippedLine] = []
    reader = lx40.read_records([one, str(empty), two], on_skip=seen.append)
    assert [(r.serial, Path(r.path).name, r.line_number) for r in reader] == [
        ("S1", "one.jsonl", 1),
        ("S2", "one.jsonl", 5),
        ("S3", "two.jsonl", 1),
    ]
    assert seen == reader.skipped_lines
    assert [(Path(s.path).name, s.line_number, s.reason) for s in seen] == [
        ("one.jsonl", 4, Reason.NOT_JSON),
        ("two.jsonl", 2, Reason.TORN),
    ]
    assert (reader.records, reader.skipped, reader.lines) == (3, 2, 7)


def test_skipped_lines_are_all_counted_and_the_first_ones_named(tmp_path: Path) -> None:
    path = tmp_path / "r.jsonl"
    path.write_bytes(b"x\n" * 250 + GOOD + b"\n")
    reader = lx40.read_records(path, keep_skipped=3)
    assert len(list(reader)) == 1
    assert reader.skipped == 250
    assert [s.line_number for s in reader.skipped_lines] == [1, 2, 3]
    assert reader.summary() == "250 lines skipped (250 not JSON), lines 1, 2, 3, ..."


def test_a_long_line_is_skipped_and_the_next_one_read(tmp_path: Path) -> None:
    path = tmp_path / "r.jsonl"
    cases = [MAX_LINE - 1, MAX_LINE, MAX_LINE + 1, MAX_LINE + 2, 3 * MAX_LINE + 5]
    path.write_bytes(b"".join(b"{" + b" " * (n - 1) + b"\n" + GOOD + b"\n" for n in cases))
    reader = lx40.read_records(path)
    assert [r.line_number for r in reader] == [2, 4, 6, 8, 10]
    assert [(s.line_number, s.reason) for s in reader.skipped_lines] == [
        (1, Reason.TORN),
        (3, Reason.TORN),
        (5, Reason.TOO_LONG),
        (7, Reason.TOO_LONG),
        (9, Reason.TOO_LONG),
    ]


def test_a_file_that_does_not_exist_is_an_os_error(tmp_path: Path) -> None:
    good = tmp_path / "good.jsonl"
    good.write_bytes(GOOD + b"\n")
    reader = lx40.read_records([good, tmp_path / "none.jsonl"])
    assert next(reader).serial == "A12345678"
    with pytest.raises(FileNotFoundError):
        next(reader)


def lx40_program() -> Optional[Path]:
    """The native lx40 beside the Meterlink under test, when it was built."""
    named = os.environ.get("LX40_PROGRAM")
    if named:
        return Path(named)
    library = os.environ.get("LX40_METERLINK")
    if library:
        program = Path(library).parent / "lx40"
        if program.is_file():
            return program
    return None


def test_python_and_lx40_report_skip_the_same_lines(tmp_path: Path) -> None:
    program = lx40_program()
    if program is None:
        pytest.skip("no native lx40 beside LX40_METERLINK (scripts/test-all builds it)")
    path = tmp_path / "all.jsonl"
    path.write_bytes(b"".join(case[1] + b"\n" for case in LINES) + b"\n\r\n")
    reader = lx40.read_records(path)
    serials = Counter(r.result.value for r in reader)
    done = subprocess.run(
        [str(program), "report", "--record", str(path), "--by", "result", "--json"],
        capture_output=True,
        text=True,
        timeout=60,
    )
    assert done.returncode == 0, done.stderr
    report = json.loads(done.stdout)
    assert report["records"] == reader.records
    assert report["skipped_lines"] == reader.skipped
    assert {g["group"]: g["units"] for g in report["groups"]} == dict(serials)
    # lx40 names the reasons in the same words (the first five lines are named).
    assert f"{path}: {reader.summary()}" in done.stderr
