"""The pictures: python -m lx40 plot-table and plot-report make PNG files of
the right size that are not empty, and the package works without matplotlib."""

from __future__ import annotations

import dataclasses
import json
import os
import struct
import subprocess
import sys
from datetime import datetime, timedelta, timezone
from pathlib import Path
from typing import List, Tuple

import pytest

import lx40
import lx40.plots  # not imported by the package: only drawing needs it
from helpers import make_table

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def png_size(path: Path) -> Tuple[int, int]:
    data = path.read_bytes()
    assert data[:8] == PNG_SIGNATURE, f"{path} is not a PNG"
    assert data[12:16] == b"IHDR"
    return struct.unpack(">II", data[16:24])


def colours(path: Path) -> int:
    """How many different colours the picture has (it opens, or this fails)."""
    import matplotlib.image  # the tests need matplotlib: scripts/install-deps python

    image = matplotlib.image.imread(str(path))
    pixels = image.reshape(-1, image.shape[-1])
    return len({tuple(pixel) for pixel in pixels[:: max(len(pixels) // 20000, 1)]})


def run_module(*args: str, env_extra: dict = None, python_code: str = "") -> subprocess.CompletedProcess:
    """python -m lx40 ARGS in a process of its own; `python_code` runs before it."""
    code = python_code + "import runpy, sys; sys.argv = ['lx40'] + sys.argv[1:]; " \
        "runpy.run_module('lx40', run_name='__main__')"
    env = dict(os.environ, **(env_extra or {}))
    return subprocess.run([sys.executable, "-c", code, *args], capture_output=True, text=True,
                          env=env, timeout=120)


def record_line(serial: str, station: str, bay: str, started: datetime, result: str) -> str:
    stamp = started.strftime("%Y-%m-%dT%H:%M:%S.000Z")
    return json.dumps({
        "serial": serial, "model": "LX40", "version": "1.00", "station": station,
        "started": stamp, "finished": stamp, "battery": "ok", "slots_before": None,
        "slots_after": None, "tables": [], "result": result, "code": 1, "message": "",
        "bay": bay,
    }) + "\n"


@pytest.mark.parametrize("type_code", [8010, 8011])
def test_plot_table_draws_a_built_in_table(library: object, tmp_path: Path, type_code: int) -> None:
    from lx40.plots import TABLE_SIZE

    out = tmp_path / f"{type_code}.png"
    done = run_module("plot-table", str(type_code), str(out))
    assert done.returncode == 0, done.stderr
    assert f"sensor type {type_code}" in done.stdout
    assert png_size(out) == TABLE_SIZE
    assert colours(out) > 10  # a curve, axes and text, not one colour


def test_plot_table_draws_a_table_file_and_refuses_a_bad_one(library: object, tmp_path: Path) -> None:
    good = tmp_path / "mine.bin"
    good.write_bytes(make_table(slot=2, type_code=1234, records=[(1300, 1.5), (1310, 1.25),
                                                                 (1320, 1.0)]))
    done = run_module("plot-table", str(good), str(tmp_path / "mine.png"))
    assert done.returncode == 0, done.stderr
    assert png_size(tmp_path / "mine.png") == lx40.plots.TABLE_SIZE

    bad = tmp_path / "bad.bin"
    bad.write_bytes(good.read_bytes()[:-1])
    cases = [
        (["plot-table", str(bad), str(tmp_path / "bad.png")], "size"),
        (["plot-table", "9999", str(tmp_path / "none.png")], "9999"),
        (["plot-table", str(tmp_path / "absent.bin"), str(tmp_path / "absent.png")], "absent.bin"),
    ]
    for args, named in cases:
        done = run_module(*args)
        assert done.returncode == 2, (args, done.stderr)
        assert named in done.stderr, done.stderr
        assert not Path(args[-1]).exists()


def test_plot_report_draws_a_line(tmp_path: Path) -> None:
    start = datetime(2026, 3, 2, 6, 0, tzinfo=timezone.utc)
    lines: List[str] = []
    # 2 stations of 4 bays over 3 hours, a unit every 15 s; bay ST2/B3 (i =
    # 5, 13, 21, ...) fails every other unit, the others none but i = 0, 200, 400, 600.
    for i in range(720):
        station, bay = f"ST{i % 2 + 1}", f"B{i // 2 % 4 + 1}"
        worn = (station, bay) == ("ST2", "B3")
        result = "failed" if (worn and i // 8 % 2 == 0) or i % 200 == 0 else "set"
        lines.append(record_line(f"A{i:08d}", station, bay, start + timedelta(seconds=15 * i),
                                 result))
    path = tmp_path / "line.jsonl"
    path.write_text("".join(lines) + '{"serial": "torn\n')
    out = tmp_path / "report.png"
    done = run_module("plot-report", str(path), str(out), "--utc", "--title", "line 2")
    assert done.returncode == 0, done.stderr
    assert "720 units, 8 bays" in done.stdout
    assert "1 line skipped (1 torn), line 721" in done.stderr
    assert png_size(out) == lx40.plots.REPORT_SIZE
    assert colours(out) > 10

    # The figures drawn, from the same records.
    figures = lx40.plots.LineFigures(utc=True)
    for record in lx40.read_records(path):
        figures.add(record)
    assert figures.per_bay[("ST2", "B3")] == [90, 45]
    assert figures.per_bay[("ST1", "B1")] == [90, 4]
    assert figures.per_bay[("ST1", "B2")] == [90, 0]
    assert (figures.units, figures.failed) == (720, 49)
    width, starts, series = figures.bars()
    assert width == 900  # 3 hours: 15-minute bars, 12 of them
    assert len(starts) == 12 and starts[0] == datetime(2026, 3, 2, 6, 0)
    assert sum(sum(counts) for counts in series.values()) == 720
    assert all(sum(series[r][k] for r in lx40.Result) == 60 for k in range(12))


def test_plot_report_bins_stay_few_however_long_the_records_run() -> None:
    figures = lx40.plots.LineFigures(utc=True)
    start = datetime(2026, 1, 1, tzinfo=timezone.utc)
    base = lx40.unit_records.parse_record_line(record_line("A", "ST", "B", start, "set"))
    # One unit a minute for 30 days: 43200 records, far more than the bins kept.
    for minute in range(0, 30 * 24 * 60):
        when = start + timedelta(minutes=minute)
        figures.add(dataclasses.replace(base, started=when, finished=when))
    assert len(figures.per_bin) <= lx40.plots._MAX_BINS
    width, starts, series = figures.bars()
    assert width == 3600 and len(starts) == 30 * 24
    assert series[lx40.Result.SET] == [60] * (30 * 24)


def test_plot_report_refuses_no_records_and_a_missing_file(tmp_path: Path) -> None:
    empty = tmp_path / "empty.jsonl"
    empty.write_text("")
    for args, named in [
        ([str(empty)], "no records"),
        ([str(empty), str(tmp_path / "absent.jsonl")], "absent.jsonl"),
    ]:
        done = run_module("plot-report", *args, str(tmp_path / "out.png"))
        assert done.returncode == 2, done.stderr
        assert named in done.stderr
        assert not (tmp_path / "out.png").exists()


BLOCK_MATPLOTLIB = "import sys; sys.modules['matplotlib'] = None; "


def test_without_matplotlib_the_plots_say_so_and_the_rest_works(tmp_path: Path) -> None:
    path = tmp_path / "line.jsonl"
    path.write_text(record_line("A1", "ST", "B1", datetime(2026, 3, 2, tzinfo=timezone.utc),
                                "set"))
    done = run_module("plot-report", str(path), str(tmp_path / "out.png"),
                      python_code=BLOCK_MATPLOTLIB)
    assert done.returncode == 2
    assert "needs matplotlib" in done.stderr and "python3-matplotlib" in done.stderr
    assert "Traceback" not in done.stderr
    assert not (tmp_path / "out.png").exists()
    # The package itself, records and tables included, imports and reads.
    code = BLOCK_MATPLOTLIB + (
        "import lx40; "
        f"print([r.serial for r in lx40.read_records({str(path)!r})]); "
        "print(lx40.Table.builtin(8011).record_count)"
    )
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          timeout=120)
    assert done.returncode == 0, done.stderr
    assert done.stdout.split() == ["['A1']", "71"]
