#!/usr/bin/env python3
"""Writes N record lines to stdout as a line of 8 stations with 16 bays each
would leave them: one unit every few seconds per bay, 5% failures (a few
kinds, one worn bay failing more), some already set or cancelled, a few
torn lines (a station that lost power mid-write). Deterministic: seed 1."""
import json
import random
import sys
from datetime import datetime, timedelta, timezone

FAILURES = [
    (-5, "The battery is low. Replace the batteries and try again."),
    (-12, "The meter did not answer. Check the cable and try again."),
    (-21, "Not stored: table 8010 was loaded, but slot 1 is still empty."),
    (-30, "The meter was unplugged during the setup."),
]


def main():
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 1_000_000
    rng = random.Random(1)
    start = datetime(2026, 3, 2, 6, 0, tzinfo=timezone.utc)
    out = sys.stdout
    torn_every = max(count // 8, 1)
    for i in range(count):
        station = f"LINE2-ST{i % 8 + 1:02d}"
        bay_number = (i // 8) % 16 + 1
        started = start + timedelta(milliseconds=i * 450 + rng.randrange(400))
        took = timedelta(milliseconds=int(rng.lognormvariate(10.6, 0.15)))
        failure_rate = 0.05 if not (station == "LINE2-ST03" and bay_number == 7) else 0.2
        draw = rng.random()
        if draw < failure_rate:
            result, (code, message) = "failed", rng.choice(FAILURES)
        elif draw < failure_rate + 0.02:
            result, code, message = "already-set", 0, "The meter already holds the sensor data."
        elif draw < failure_rate + 0.025:
            result, code, message = "cancelled", 0, "The setup was cancelled."
        else:
            result, code, message = "set", 0, "Sensor data setup is complete."
        outcome = {"set": "written", "failed": "failed", "already-set": "present",
                   "cancelled": "not-run"}[result]
        record = {
            "serial": f"A{10000000 + i:08d}",
            "model": "LX40",
            "version": "2.10",
            "station": station,
            "started": started.strftime("%Y-%m-%dT%H:%M:%S.") + f"{started.microsecond // 1000:03d}Z",
            "finished": (started + took).strftime("%Y-%m-%dT%H:%M:%S.")
            + f"{(started + took).microsecond // 1000:03d}Z",
            "battery": "ok" if code != -5 else "low",
            "slots_before": "0000000",
            "slots_after": "0101000" if result == "set" else "0000000",
            "tables": [
                {"type": 8010, "slot": 1, "records": 781, "crc": "4D6F", "outcome": outcome,
                 "source": "built-in", "sha256": "9f2c" * 16},
                {"type": 8011, "slot": 3, "records": 71, "crc": "53FF", "outcome": outcome,
                 "source": "built-in", "sha256": "a1b7" * 16},
            ],
            "result": result,
            "code": code,
            "message": message,
            "port": f"1-{bay_number // 8 + 1}.{bay_number % 8 + 1}",
            "bay": f"B{bay_number:02d}",
            "operator": rng.choice(["akiko", "ben", "chen", "dana"]),
            "work_order": f"WO-{1000 + i // 20000}",
            "lot": f"L{i // 5000:04d}",
            "meta": {"shift": "early" if started.hour < 14 else "late"},
            "tool": "lx40 1.1.0",
        }
        line = json.dumps(record, separators=(",", ":"))
        if i % torn_every == torn_every - 1:
            line = line[: rng.randrange(20, len(line) - 1)]
        out.write(line + "\n")


if __name__ == "__main__":
    main()
