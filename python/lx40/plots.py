"""Pictures engineers would rather look at than read: a sensor data table's
curve, and a line's units per hour and failure rate per bay.

matplotlib is an optional dependency (Debian: python3-matplotlib): only this
module needs it, and only when a picture is drawn; the rest of the package
works without it. Pictures are drawn with the Agg backend into PNG files, so
no display is needed.
"""

from __future__ import annotations

import math
import os
from collections import Counter
from dataclasses import dataclass, field
from datetime import datetime, timedelta
from typing import Any, Dict, Iterable, List, Optional, Tuple, Union

from .table import Table
from .unit_records import Result, UnitRecord

PathLike = Union[str, "os.PathLike[str]"]

#: Picture sizes in pixels (width, height).
TABLE_SIZE = (900, 500)
REPORT_SIZE = (1000, 800)
_DPI = 100

# The result colours, the same in every picture.
_RESULT_COLOURS = {
    Result.SET: "#2e7d32",
    Result.ALREADY_SET: "#90a4ae",
    Result.FAILED: "#c62828",
    Result.CANCELLED: "#f9a825",
}

# Bin widths for units per hour, each a multiple of the one before. The
# figures start at the finest and coarsen when there are too many bins, so
# memory stays flat; a picture takes the coarsest width that still gives
# several bars, so a short run (a simulated line, a shift's first minutes)
# is not one bar.
_BIN_SECONDS = (10, 30, 60, 300, 900, 3600, 86400)
_MAX_BINS = 4096
_MIN_BARS = 12


class PlottingUnavailableError(ImportError):
    """matplotlib is not installed."""


def _pyplot() -> Any:
    try:
        import matplotlib
    except ImportError as error:
        raise PlottingUnavailableError(
            "drawing pictures needs matplotlib, which is not installed "
            "(Debian: apt-get install python3-matplotlib; elsewhere: pip install matplotlib)"
        ) from error
    matplotlib.use("Agg")  # files only: never a window, no display needed
    import matplotlib.pyplot as pyplot

    return pyplot


def _save(figure: Any, out: PathLike) -> None:
    pyplot = _pyplot()
    try:
        figure.savefig(os.fspath(out), format="png", dpi=_DPI)
    finally:
        pyplot.close(figure)


def _figure(size: Tuple[int, int], rows: int = 1) -> Tuple[Any, Any]:
    pyplot = _pyplot()
    return pyplot.subplots(rows, 1, figsize=(size[0] / _DPI, size[1] / _DPI), dpi=_DPI)


def plot_table(table: Table, out: PathLike, name: Optional[str] = None) -> None:
    """Draws a table's coefficients against wavelength into the PNG file `out`.

    The table's four header wavelengths are marked. `name` is shown in the
    title (a file name; "built-in" by default for a built-in type).
    """
    records = table.records()
    wavelengths = [record.wavelength for record in records]
    coefficients = [record.coefficient for record in records]
    figure, axes = _figure(TABLE_SIZE)
    try:
        axes.plot(wavelengths, coefficients, color="#1565c0", linewidth=1.5,
                  marker="." if len(records) <= 100 else None)
        for index, wavelength in enumerate(table.header_wavelengths):
            axes.axvline(wavelength, color="#888888", linestyle=":", linewidth=1,
                         label="header wavelengths" if index == 0 else None)
        axes.set_xlabel("wavelength (nm)")
        axes.set_ylabel("coefficient")
        source = f" ({name})" if name else ""
        axes.set_title(
            f"sensor type {table.type_code}{source}: slot {table.slot}, "
            f"{table.record_count} records, {table.min_wavelength} to {table.max_wavelength} nm, "
            f"CRC {table.crc:04X}"
        )
        axes.grid(True, alpha=0.3)
        axes.legend(loc="best")
        figure.tight_layout()
    except BaseException:
        _pyplot().close(figure)
        raise
    _save(figure, out)


@dataclass
class LineFigures:
    """What plot_report draws, gathered record by record: memory grows with
    the bays, and with the time bins up to a cap; never with the records."""

    utc: bool = False
    units: int = 0
    failed: int = 0
    bin_seconds: int = _BIN_SECONDS[0]
    # Per bin (wall-clock seconds // bin_seconds): the results of the units started then.
    per_bin: Dict[int, "Counter[Result]"] = field(default_factory=dict)
    # Per (station, bay): units, failures.
    per_bay: Dict[Tuple[str, str], List[int]] = field(default_factory=dict)

    def add(self, record: UnitRecord) -> None:
        started = record.started if self.utc else record.started.astimezone()
        offset = started.utcoffset() or timedelta(0)
        # Seconds on the wall clock shown (UTC or local), so hours start at :00.
        wall = math.floor(started.timestamp() + offset.total_seconds())
        self.units += 1
        failed = record.result is Result.FAILED
        self.failed += failed
        self.per_bin.setdefault(wall // self.bin_seconds, Counter())[record.result] += 1
        while len(self.per_bin) > _MAX_BINS and self.bin_seconds < _BIN_SECONDS[-1]:
            self._coarsen()
        bay = self.per_bay.setdefault((record.station, record.bay or "-"), [0, 0])
        bay[0] += 1
        bay[1] += failed

    def _coarsen(self) -> None:
        wider = _BIN_SECONDS[_BIN_SECONDS.index(self.bin_seconds) + 1]
        self.per_bin, self.bin_seconds = self._regroup(wider), wider

    def bars(self) -> Tuple[int, List[datetime], Dict[Result, List[int]]]:
        """The bar width (seconds), each bar's start (wall clock) and the units
        of each result per bar: the coarsest width, up to an hour, that still
        gives several bars."""
        first, last = min(self.per_bin), max(self.per_bin)

        def bar_count(seconds: int) -> int:
            return last * self.bin_seconds // seconds - first * self.bin_seconds // seconds + 1

        width = self.bin_seconds
        for candidate in (w for w in _BIN_SECONDS if w > self.bin_seconds):
            # Wider while there are bars enough, up to an hour; wider still
            # when records far apart would make too many bars.
            if (candidate <= 3600 and bar_count(candidate) >= _MIN_BARS) or (
                bar_count(width) > _MAX_BINS
            ):
                width = candidate
        bins = self.per_bin if width == self.bin_seconds else self._regroup(width)
        first, last = min(bins), max(bins)
        epoch = datetime(1970, 1, 1)
        starts = [epoch + timedelta(seconds=key * width) for key in range(first, last + 1)]
        series = {
            result: [bins[key][result] if key in bins else 0 for key in range(first, last + 1)]
            for result in Result
        }
        return width, starts, series

    def _regroup(self, seconds: int) -> Dict[int, "Counter[Result]"]:
        bins: Dict[int, "Counter[Result]"] = {}
        for key, results in self.per_bin.items():
            bins.setdefault(key * self.bin_seconds // seconds, Counter()).update(results)
        return bins


def plot_report(
    records: Iterable[UnitRecord], out: PathLike, utc: bool = False, title: str = ""
) -> LineFigures:
    """Draws the units per hour (by result) and the failure rate per bay of
    `records` into the PNG file `out`; returns the figures drawn.

    Hours are local time, UTC with `utc`. A short run is binned finer
    (down to minutes) and still shown as units per hour.

    Raises:
        ValueError: there is no record to draw.
    """
    figures = LineFigures(utc=utc)
    for record in records:
        figures.add(record)
    if figures.units == 0:
        raise ValueError("no records to draw")
    seconds, starts, series = figures.bars()
    per_hour = 3600 / seconds
    pyplot = _pyplot()
    import matplotlib.dates as dates

    figure, (time_axes, bay_axes) = _figure(REPORT_SIZE, rows=2)
    try:
        width = timedelta(seconds=seconds * 0.9)
        bottom = [0.0] * len(starts)
        for result in Result:
            heights = [count * per_hour for count in series[result]]
            if any(heights):
                time_axes.bar(starts, heights, width=width, bottom=bottom, align="edge",
                              color=_RESULT_COLOURS[result], label=result.value)
                bottom = [b + h for b, h in zip(bottom, heights)]
        zone = "UTC" if utc else "local time"
        size = {3600: "hour", 86400: "day"}.get(seconds) or (
            f"{seconds // 60}-minute" if seconds >= 60 else f"{seconds}-second"
        )
        time_axes.set_title(
            f"units per hour ({figures.units} units, {size} bars, {zone})"
        )
        time_axes.set_ylabel("units per hour")
        time_format = "%H:%M:%S" if seconds < 60 else "%m-%d %H:%M" if seconds < 86400 else "%Y-%m-%d"
        time_axes.xaxis.set_major_formatter(dates.DateFormatter(time_format))
        time_axes.set_xlabel(zone)
        time_axes.set_ylim(0, max(bottom) * 1.25)  # room for the legend above the bars
        time_axes.legend(loc="upper center", ncol=4)
        time_axes.grid(True, axis="y", alpha=0.3)

        bays = sorted(figures.per_bay)
        rates = [100.0 * figures.per_bay[bay][1] / figures.per_bay[bay][0] for bay in bays]
        line_rate = 100.0 * figures.failed / figures.units
        labels = [f"{station}/{bay}" for station, bay in bays]
        positions = list(range(len(bays)))
        bay_axes.bar(positions, rates, color=[
            _RESULT_COLOURS[Result.FAILED] if rate > line_rate else "#ef9a9a" for rate in rates])
        bay_axes.axhline(line_rate, color="#333333", linestyle="--", linewidth=1,
                         label=f"whole line {line_rate:.1f}%")
        bay_axes.set_xticks(positions)
        bay_axes.set_xticklabels(labels, rotation=90 if len(bays) > 12 else 30,
                                 fontsize=7 if len(bays) > 24 else 9, ha="center")
        bay_axes.set_ylabel("failure rate (%)")
        bay_axes.set_title(
            f"failure rate per bay ({len(bays)} bays; failed over all units; "
            "darker: above the whole line)"
        )
        bay_axes.set_ylim(0, max(max(rates), line_rate, 1.0) * 1.25)
        bay_axes.legend(loc="upper right")
        bay_axes.grid(True, axis="y", alpha=0.3)
        if title:
            figure.suptitle(title)
        figure.tight_layout()
    except BaseException:
        pyplot.close(figure)
        raise
    _save(figure, out)
    return figures
