"""``python -m lx40 list [--json]``: the attached meters, one line each, with their ports.

A command of its own on purpose (no console script): the name ``lx40``
belongs to the production-line program.
"""

from __future__ import annotations

import argparse
import json
import sys
from typing import List, Optional

from . import LibraryNotFoundError, MeterError, MeterPlace, list_places, load_library


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


def main(argv: Optional[List[str]] = None) -> int:
    parser = argparse.ArgumentParser(
        prog="python -m lx40", description="LX40 meters through Meterlink."
    )
    parser.add_argument("--library", help="the Meterlink library file to use")
    commands = parser.add_subparsers(dest="command", required=True)
    listing = commands.add_parser("list", help="list the attached meters and their ports")
    listing.add_argument("--json", action="store_true", help="as a JSON array")
    args = parser.parse_args(argv)
    try:
        load_library(args.library)
        return _list(args.json)
    except LibraryNotFoundError as error:
        print(error, file=sys.stderr)
        return 2
    except MeterError as error:
        print(f"error: {error}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
