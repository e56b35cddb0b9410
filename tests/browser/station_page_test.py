#!/usr/bin/python3
"""The station page in a real browser (Debian's chromium, headless, driven
by chromedriver through Selenium) while `lx40 station --http` runs a
simulated line: what a person in front of the line monitor would see.

  tests/browser/station_page_test.py --lx40 build/native/bin/lx40 --out build/browser

Checks, in English and then in Japanese: a bay that goes from ready to
working to remove as its unit goes through, a failed bay with its reason,
the counts, the last-units table, a reload mid-run that shows the same
state, and a serial number with markup characters shown as text.
Screenshots go to --out (station-page-en.png, station-page-ja.png).
Exit status 0 when every check held."""

import argparse
import os
import re
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

WAIT = 30  # seconds: the upper bound of every wait on the page

# Bay B1: its first meter arrives once the page is open (plug_after_ms),
# slow enough to be seen working; B2: a low battery (FAILED), left in;
# B3: a serial with markup, set and left in; B4 a meter set and left in.
LINE = """
[meter]
serial = W100
port = 1
latency_us = 3000
plug_after_ms = 4000
pull_after_ms = 1500
[meter]
serial = W101
port = 1
latency_us = 3000
plug_after_ms = 500
[meter]
serial = F200
port = 2
battery = low
[meter]
serial = <b>x
port = 3
[meter]
serial = K400
port = 4
"""
BAYS = "B1 1-1\nB2 1-2\nB3 1-3\nB4 1-4\n"

WORDS = {
    "en": {"ready": "ready", "working": "working", "settling": "settling", "remove": "remove",
           "FAILED": "FAILED", "station": "Station", "set": "set", "failed": "FAILED"},
    "ja": {"ready": "準備完了", "working": "作業中", "settling": "安定待ち", "remove": "取り外し",
           "FAILED": "失敗", "station": "ステーション", "set": "設定完了", "failed": "失敗"},
}


class Failed(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failed(what)
    print(f"  ok: {what}")


def start_station(lx40, folder):
    (folder / "meters.ini").write_text(LINE)
    (folder / "bays.txt").write_text(BAYS)
    env = {k: v for k, v in os.environ.items() if not k.startswith("LX40_")}
    env.update(LX40_SIM_METERS=str(folder / "meters.ini"), LX40_SETTLE_MS="600")
    err = open(folder / "station.err", "w+")
    process = subprocess.Popen(
        [lx40, "station", "--http", "0", "--bays", str(folder / "bays.txt"),
         "--operator", "ann", "--work-order", "WO-7", "--lot", "L42"],
        env=env, stdout=subprocess.DEVNULL, stderr=err)
    deadline = time.monotonic() + WAIT
    while time.monotonic() < deadline:
        found = re.search(r"the station page is at (http://127\.0\.0\.1:\d+/)",
                          (folder / "station.err").read_text())
        if found:
            return process, found.group(1)
        if process.poll() is not None:
            break
        time.sleep(0.05)
    process.kill()
    raise Failed("lx40 station never said where its page is: "
                 + (folder / "station.err").read_text())


def browser(language):
    options = webdriver.ChromeOptions()
    for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage",
                     "--window-size=1600,1000", f"--lang={language}"):
        options.add_argument(argument)
    options.add_experimental_option("prefs", {"intl.accept_languages": language})
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def tile(driver, port):
    return driver.find_element(By.CSS_SELECTOR, f'.tile[data-port="{port}"]')


def tile_text(driver, port, part):
    try:
        return tile(driver, port).find_element(By.CLASS_NAME, part).text
    except Exception:  # not drawn yet
        return None


def wait_for(driver, what, condition):
    try:
        WebDriverWait(driver, WAIT, poll_frequency=0.05).until(lambda d: condition(d))
    except Exception:
        raise Failed(f"{what} (not within {WAIT} s)")
    print(f"  ok: {what}")


def seen_page(driver):
    """What a person reads: every tile's text, the counts, the units."""
    tiles = [t.text for t in driver.find_elements(By.CLASS_NAME, "tile")]
    counts = [driver.find_element(By.ID, i).text
              for i in ("count-set", "count-already-set", "count-failed")]
    units = [r.text for r in driver.find_elements(By.CSS_SELECTOR, "#units tr")]
    header = [driver.find_element(By.ID, i).text
              for i in ("station", "operator", "work-order", "lot")]
    return tiles, counts, units, header


def run(lx40, out, language):
    words = WORDS[language]
    print(f"the station page in {language}")
    with tempfile.TemporaryDirectory(prefix="lx40-browser-") as scratch:
        folder = Path(scratch)
        station, url = start_station(lx40, folder)
        driver = browser(language)
        try:
            driver.get(url)
            check(driver.execute_script("return document.documentElement.lang") == language,
                  f"the page is in {language}")
            wait_for(driver, "four tiles", lambda d: len(d.find_elements(By.CLASS_NAME, "tile")) == 4)
            # B1 before its meter comes, while it is worked on, once done.
            wait_for(driver, "B1 ready", lambda d: tile_text(d, "1-1", "state") == words["ready"])
            # (W100 if the browser was quick to start, W101 otherwise.)
            wait_for(driver, "then B1 working (or settling) on its meter", lambda d: tile_text(
                d, "1-1", "state") in (words["working"], words["settling"])
                and tile_text(d, "1-1", "serial") in ("W100", "W101"))
            wait_for(driver, "B1 shows its table while writing", lambda d: "slot" in (
                tile_text(d, "1-1", "table") or "") or tile_text(d, "1-1", "state") != words["working"])
            wait_for(driver, "then B1 remove", lambda d: tile_text(d, "1-1", "state") == words["remove"])
            # The failed bay and its reason.
            wait_for(driver, "B2 FAILED", lambda d: tile_text(d, "1-2", "state") == words["FAILED"])
            reason = tile_text(driver, "1-2", "reason")
            check(bool(reason), f"B2 gives its reason: {reason!r}")
            # Device text as text.
            wait_for(driver, "B3 shows the serial <b>x as text",
                     lambda d: tile_text(d, "1-3", "serial") == "<b>x")
            check(not tile(driver, "1-3").find_elements(By.TAG_NAME, "b"), "no <b> element made")
            # The second meter of B1 and the counts.
            wait_for(driver, "B1 sets W101", lambda d: tile_text(d, "1-1", "serial") == "W101"
                     and tile_text(d, "1-1", "state") == words["remove"])
            wait_for(driver, "counts: 4 set, 1 failed", lambda d: (
                d.find_element(By.ID, "count-set").text,
                d.find_element(By.ID, "count-failed").text) == ("4", "1"))
            units = [r.text for r in driver.find_elements(By.CSS_SELECTOR, "#units tr")]
            check(len(units) == 5, f"five units listed: {units}")
            check(any("F200" in u and words["failed"] in u and reason in u for u in units),
                  "the failed unit listed with its result and message")
            check(any("<b>x" in u for u in units), "the markup serial listed as text")
            check(driver.find_element(By.ID, "operator").text == "ann"
                  and driver.find_element(By.ID, "lot").text == "L42"
                  and driver.find_element(By.ID, "work-order").text == "WO-7",
                  "operator, work order and lot")
            check(words["station"] in driver.find_element(By.CSS_SELECTOR, ".identity").text,
                  "the header in the page's language")
            out.mkdir(parents=True, exist_ok=True)
            driver.save_screenshot(str(out / f"station-page-{language}.png"))
            # A reload while the station runs shows the same.
            before = seen_page(driver)
            driver.refresh()
            wait_for(driver, "after the reload: the same tiles, counts, units and header",
                     lambda d: seen_page(d) == before)
            check(station.poll() is None, "the station still runs")
        finally:
            driver.quit()
            station.send_signal(signal.SIGINT)
            try:
                status = station.wait(WAIT)
            except subprocess.TimeoutExpired:
                station.kill()
                status = None
        # The low battery failed: exit status 1, as setup gives.
        check(status == 1, f"the station ended with exit status 1 (got {status})")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--lx40", required=True)
    parser.add_argument("--out", required=True, type=Path)
    parser.add_argument("--language", action="append", choices=("en", "ja"))
    args = parser.parse_args()
    try:
        for language in args.language or ["en", "ja"]:
            run(args.lx40, args.out, language)
    except Failed as failure:
        print(f"FAILED: {failure}")
        return 1
    print("all browser checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
