"""``python -m lx40 list [--json]``: the attached meters, one line each, with their ports.
``python -m lx40 plot-table 8010|8011|FILE OUT.png``: a table's curve.
``python -m lx40 plot-report RECORDS... OUT.png``: units per hour and the
failure rate per bay of record files.

A command of its own on purpose (no console script): the name ``lx40``
belongs to the production-line program. The plots need matplotlib (an
optional dependency); without it they say so and exit with status 2.
"""

from __future__ import annotations

import argparse
import json
import sys
from pathlib import Path
from typing import List, Optional

from . import (
    LibraryNotFoundError,
    MeterError,
    MeterPlace,
    Table,
    list_places,
    load_library,
)
from .plots import PlottingUnavailableError, plot_report, plot_table
from .unit_records import read_records

PROGRAM = "python -m lx40"


def _notes(place: MeterPlace) -> str:
    notes = []
    if place.info.in_use:
        notes.append("open in this process")
    if place.serial_shared:
        notes.append("serial number shared")
    if place.needs_replug:
        notes.append("left mid-table: plug it in again")
    return "  (" + "; ".join(notes) + ")" if notes else ""


def _list(as_json: bool) -> int:
    places = list_places()
    if as_json:
        print(
            json.dumps(
                [
                    {
                        "position": place.info.position,
                        "port": place.port,
                        "serial": place.info.serial,
                        "model": place.info.model,
                        "version": place.info.version,
                        "maker": place.info.maker,
                        "serial_cut": place.info.serial_cut,
                        "in_use": place.info.in_use,
                        "serial_shared": place.serial_shared,
                        "needs_replug": place.needs_replug,
                    }
                    for place in places
                ],
                indent=2,
            )
        )
        return 0 if places else 3
    if not places:
        print("no meters found")
        return 3
    print(f"{'position':>8}  {'port':<12} {'serial':<20} {'model':<8} {'version':<7} maker")
    for place in places:
        info = place.info
        serial = info.serial + ("..." if info.serial_cut else "")
        port = place.port or "-"  # the system could not tell
        print(
            f"{info.position:>8}  {port:<12} {serial:<20} {info.model:<8} {info.version:<7} "
            f"{info.maker}{_notes(place)}"
        )
    return 0


def _plot_table(table_name: str, out: str) -> int:

    if table_name.isdigit() and not Path(table_name).exists():
        table, name = Table.builtin(int(table_name)), "built-in"
    else:
        table, name = Table.from_file(table_name), Path(table_name).name
    plot_table(table, out, name)
    print(f"{out}: sensor type {table.type_code}, {table.record_count} records")
    return 0


def _plot_report(paths: List[str], out: str, utc: bool, title: str) -> int:

    readers = [read_records(path) for path in paths]

    def every_record():  # type: ignore[no-untyped-def]
        for path, reader in zip(paths, readers):
            yield from reader
            if reader.skipped:
                print(f"{PROGRAM}: {path}: {reader.summary()}", file=sys.stderr)

    figures = plot_report(every_record(), out, utc=utc, title=title)
    print(f"{out}: {figures.units} units, {len(figures.per_bay)} bays, {len(paths)} file(s)")
    return 0


def main(argv: Optional[List[str]] = None) -> int:
    parser = argparse.ArgumentParser(prog=PROGRAM, description="LX40 meters through Meterlink.")
    parser.add_argument("--library", help="the Meterlink library file to use")
    commands = parser.add_subparsers(dest="command", required=True)
    listing = commands.add_parser("list", help="list the attached meters and their ports")
    listing.add_argument("--json", action="store_true", help="as a JSON array")
    table = commands.add_parser(
        "plot-table",
        help="draw a sensor data table's coefficients against wavelength (needs matplotlib)",
    )
    table.add_argument("table", metavar="8010|8011|FILE", help="a built-in type or a table file")
    table.add_argument("out", metavar="OUT.png")
    report = commands.add_parser(
        "plot-report",
        help="draw units per hour and the failure rate per bay of record files "
        "(needs matplotlib)",
    )
    report.add_argument("records", metavar="RECORDS", nargs="+", help="lx40 record files")
    report.add_argument("out", metavar="OUT.png")
    report.add_argument("--utc", action="store_true", help="hours in UTC (default: local time)")
    report.add_argument("--title", default="", help="a title above both plots")
    args = parser.parse_args(argv)
    try:
        if args.command == "plot-report":
            return _plot_report(args.records, args.out, args.utc, args.title)
        load_library(args.library)
        if args.command == "plot-table":
            return _plot_table(args.table, args.out)
        return _list(args.json)
    except LibraryNotFoundError as error:
        print(error, file=sys.stderr)
        return 2
    except PlottingUnavailableError as error:
        print(f"{PROGRAM}: {error}", file=sys.stderr)
        return 2
    except (OSError, KeyError, ValueError) as error:
        # A file that cannot be read or written, a table that is not one
        # (TableError), a type with no built-in table, records with no record.
        text = error.args[0] if isinstance(error, KeyError) and error.args else error
        print(f"{PROGRAM}: {text}", file=sys.stderr)
        return 2
    except MeterError as error:
        print(f"error: {error}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
