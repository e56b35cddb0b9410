"""Meters used from several threads."""

from __future__ import annotations

import threading
import time
from pathlib import Path
from types import SimpleNamespace
from typing import List

import lx40
from helpers import run_scenario, stored_tables


def test_two_meters_from_two_threads(child_sim: Path) -> None:
    run = run_scenario(
        "two_threads", child_sim,
        [{"serial": "THREAD001"}, {"serial": "THREAD002", "behind_hub": "yes"}],
        serials=["THREAD001", "THREAD002"], tables=[8010, 8011], rounds=25,
    )
    assert run.returncode == 0, run.stderr
    first, second = run.result["THREAD001"], run.result["THREAD002"]
    assert first["errors"] == [] and second["errors"] == [], run.result
    # Each thread saw only its own meter's settings.
    assert first["wavelengths"] == [1300] * 25
    assert second["wavelengths"] == [1310] * 25
    assert (first["identity"], second["identity"]) == ("THREAD001", "THREAD002")
    assert first["slots"] == [False, True, False, False, False, False, False]
    assert second["slots"] == [False, False, False, True, False, False, False]
    assert stored_tables(run.meter_state("THREAD001")) == {1: bytes(lx40.Table.builtin(8010))}
    assert stored_tables(run.meter_state("THREAD002")) == {3: bytes(lx40.Table.builtin(8011))}
    assert run.open_handles == 0


class OverlapWatch:
    """Meterlink's functions, each call held open a moment, noting calls that overlap."""

    def __init__(self, dll: object) -> None:
        self._dll = dll
        self._guard = threading.Lock()
        self.inside = 0
        self.overlaps = 0
        self.calls = 0

    def __getattr__(self, name: str) -> object:
        function = getattr(self._dll, name)

        def watched(*args: object) -> object:
            with self._guard:
                self.inside += 1
                self.calls += 1
                if self.inside > 1:
                    self.overlaps += 1
            try:
                time.sleep(0.0005)  # widens the window another thread could use
                return function(*args)
            finally:
                with self._guard:
                    self.inside -= 1

        return watched


def test_one_meter_shared_by_threads_is_used_by_one_at_a_time(
    session_meters: List[lx40.MeterInfo],
) -> None:
    # Meterlink allows one thread per meter at a time; a Meter serialises its
    # calls, so threads that share one never call Meterlink on it at once.
    failures: List[BaseException] = []
    with lx40.open("SHARED001") as meter:
        real = meter._library
        watch = OverlapWatch(real.dll)
        watched = SimpleNamespace(dll=watch, strerror=real.strerror)
        meter._library = watched  # type: ignore[assignment]
        start = threading.Barrier(4)

        def work(count: int) -> None:
            try:
                start.wait()
                for _ in range(25):
                    meter.averaging = count
                    assert meter.identity().serial == "SHARED001"
                    assert 1 <= meter.averaging <= 4
                    meter.wavelength = 1300 + count
            except BaseException as error:
                failures.append(error)

        threads = [threading.Thread(target=work, args=(n,)) for n in range(1, 5)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        meter.reset_settings()
        meter._library = real
    assert failures == []
    assert watch.calls >= 4 * 25 * 5
    assert watch.overlaps == 0
