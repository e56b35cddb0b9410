"""Code under test, run in a process of its own with its own simulated meters.

    python scenarios.py NAME '{"arg": ...}'

Each scenario uses the lx40 package as a test engineer would and prints one
line "RESULT <json>" with what it saw; the test that started it checks that
and the state the simulator wrote when the process ended.
"""

from __future__ import annotations

import json
import signal
import sys
import threading
import time
from typing import Any, Callable, Dict, List

import lx40

SCENARIOS: Dict[str, Callable[..., Any]] = {}


def scenario(function: Callable[..., Any]) -> Callable[..., Any]:
    SCENARIOS[function.__name__] = function
    return function


def error_fields(error: BaseException) -> Dict[str, Any]:
    fields: Dict[str, Any] = {"type": type(error).__name__, "message": str(error)}
    if isinstance(error, lx40.MeterError):
        fields.update(code=error.code, text=error.text, serial=error.serial)
    fields["notes"] = list(getattr(error, "__notes__", []))
    return fields


@scenario
def listing() -> Any:
    return [info.__dict__ for info in lx40.list_meters()]


@scenario
def one_serial_twice(serial: str, table: str) -> Any:
    """Two meters answering with one serial: listed by place, refused by serial,
    each opened by its port and loaded."""
    out: Dict[str, Any] = {}
    places = lx40.list_places()
    out["places"] = [
        {"serial": p.serial, "port": p.port, "shared": p.serial_shared, "generation": p.generation}
        for p in places
    ]
    try:
        lx40.open(serial)
        out["open_by_serial"] = "opened"
    except lx40.AmbiguousMeterError as error:
        out["open_by_serial"] = {"ports": error.ports, **error_fields(error)}
    data = lx40.Table.builtin(int(table))
    out["loaded"] = []
    for place in places:
        with lx40.open_port(place.port) as meter:
            meter.settle_seconds = 0
            meter.load_table(data)
            out["loaded"].append(meter.place.port)
    first = places[0]
    with lx40.open_path(first.path, first.generation) as meter:
        out["by_path"] = meter.place.port
    try:
        lx40.open_path(first.path, first.generation + 1)
        out["other_generation"] = "opened"
    except lx40.MeterError as error:
        out["other_generation"] = error_fields(error)
    return out


@scenario
def load(serial: str, table: str, settle_seconds: float) -> Any:
    """Loads a table (a built-in type code or a file) with progress, then asks the slots."""
    data = lx40.Table.builtin(int(table)) if table.isdigit() else lx40.Table.from_file(table)
    steps: List[List[int]] = []
    out: Dict[str, Any] = {"type_code": data.type_code, "slot": data.slot}
    waits: List[float] = []
    real_sleep = time.sleep

    def recording_sleep(seconds: float) -> None:
        waits.append(seconds)
        real_sleep(seconds)

    with lx40.open(serial) as meter:
        meter.settle_seconds = settle_seconds
        out["slots_before"] = meter.slots()
        try:
            meter.load_table(data, progress=lambda done, total: steps.append([done, total]))
            time.sleep = recording_sleep
            out["slots_after"] = meter.slots()
        except lx40.MeterError as error:
            out["error"] = error_fields(error)
        finally:
            time.sleep = real_sleep
    out["waits_before_next_command"] = waits
    out["steps"] = steps
    out["listed_after"] = [info.serial for info in lx40.list_meters()]
    return out


@scenario
def battery(serial: str) -> Any:
    out: Dict[str, Any] = {}
    with lx40.open(serial) as meter:
        out["battery_ok"] = meter.battery_ok()
        try:
            out["slots"] = meter.slots()
        except lx40.MeterError as error:
            out["slots_error"] = error_fields(error)
        try:
            meter.load_table(lx40.Table.builtin(8011))
        except lx40.MeterError as error:
            out["load_error"] = error_fields(error)
    return out


@scenario
def interrupted(serial: str, how: str) -> Any:
    """A load stopped between steps: by SIGINT from the parent, or by the progress callable."""
    out: Dict[str, Any] = {}
    table = lx40.Table.builtin(8010)
    steps: List[int] = []

    def progress(done: int, total: int) -> None:
        steps.append(done)
        if done == 20:
            if how == "sigint":
                print("LOADING", flush=True)  # the parent sends SIGINT now
            else:
                raise RuntimeError("stop here")

    meter = lx40.open(serial)
    try:
        meter.load_table(table, progress=progress)
        out["finished"] = True
    except (KeyboardInterrupt, RuntimeError) as error:
        out["stopped_by"] = error_fields(error)
    out["steps_done"] = len(steps)
    out["total"] = table.record_count + 3
    try:
        meter.battery_ok()
        out["next_command"] = "ok"
    except lx40.MeterError as error:
        out["next_command"] = error_fields(error)
    meter.close()
    return out


@scenario
def two_threads(serials: List[str], tables: List[int], rounds: int) -> Any:
    """Each meter on its own thread: settings, readings and a table load at the same time."""
    results: Dict[str, Any] = {}
    start = threading.Barrier(len(serials))

    def work(serial: str, type_code: int, wavelength: int) -> None:
        seen: Dict[str, Any] = {"wavelengths": [], "errors": []}
        try:
            with lx40.open(serial) as meter:
                meter.settle_seconds = 0.0
                start.wait()
                for index in range(rounds):
                    meter.averaging = 1 + index
                    meter.wavelength = wavelength
                    seen["wavelengths"].append(meter.wavelength)
                    if meter.averaging != 1 + index:
                        seen["errors"].append(f"averaging {index}")
                    meter.measure()
                meter.load_table(lx40.Table.builtin(type_code))
                seen["slots"] = meter.slots()
                seen["identity"] = meter.identity().serial
        except BaseException as error:  # reported to the parent, which fails the test
            seen["errors"].append(error_fields(error))
        results[serial] = seen

    threads = [
        threading.Thread(target=work, args=(serial, table, 1300 + 10 * index))
        for index, (serial, table) in enumerate(zip(serials, tables))
    ]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    return results


def main() -> int:
    name = sys.argv[1]
    args = json.loads(sys.argv[2]) if len(sys.argv) > 2 else {}
    result = SCENARIOS[name](**args)
    print("RESULT " + json.dumps(result, default=str), flush=True)
    return 0


if __name__ == "__main__":
    # Ctrl+C raises KeyboardInterrupt as in a terminal, even when the test run
    # itself was started with SIGINT ignored (a background job).
    signal.signal(signal.SIGINT, signal.default_int_handler)
    sys.exit(main())
