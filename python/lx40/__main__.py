"""``python -m lx40 list``: the attached meters, one line each.

A command of its own on purpose (no console script): the name ``lx40``
belongs to the production-line program.
"""

from __future__ import annotations

import argparse
import sys
from typing import List, Optional

from . import LibraryNotFoundError, MeterError, list_meters, load_library


def _list() -> int:
    meters = list_meters()
    if not meters:
        print("no meters found")
        return 3
    print(f"{'position':>8}  {'serial':<20} {'model':<8} {'version':<7} maker")
    for info in meters:
        serial = info.serial + ("..." if info.serial_cut else "")
        note = "  (open in this process)" if info.in_use else ""
        print(
            f"{info.position:>8}  {serial:<20} {info.model:<8} {info.version:<7} {info.maker}{note}"
        )
    return 0


def main(argv: Optional[List[str]] = None) -> int:
    parser = argparse.ArgumentParser(
        prog="python -m lx40", description="LX40 meters through Meterlink."
    )
    parser.add_argument("--library", help="the Meterlink library file to use")
    commands = parser.add_subparsers(dest="command", required=True)
    commands.add_parser("list", help="list the attached meters")
    args = parser.parse_args(argv)
    try:
        load_library(args.library)
        return _list()
    except LibraryNotFoundError as error:
        print(error, file=sys.stderr)
        return 2
    except MeterError as error:
        print(f"error: {error}", file=sys.stderr)
        return 1


if __name__ == "__main__":
    sys.exit(main())
