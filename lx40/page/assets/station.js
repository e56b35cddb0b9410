// The station page: the bays, the counts and the last units, kept live
// from the station's event stream (/events), and read whole from
// /api/state whenever the stream (re)connects. Read-only. Everything a
// meter or the station sends is set as text (textContent), never as markup.
"use strict";

(function () {
  const kLastUnits = 20;
  const stateWords = {
    ready: "kPageReady",
    working: "kPageWorking",
    settling: "kPageSettling",
    remove: "kPageRemove",
    FAILED: "kPageFailed",
    "re-plug": "kPageReplug",
    ignored: "kPageIgnored",
  };
  const resultWords = {
    set: "kResultSet",
    "already-set": "kResultAlreadySet",
    failed: "kResultFailed",
    cancelled: "kResultCancelled",
  };

  const preferred = (navigator.languages && navigator.languages[0]) || navigator.language || "en";
  const language = preferred.toLowerCase().startsWith("ja") ? "ja" : "en";
  document.documentElement.lang = language;

  let words = {};
  let english = {};
  const station = {
    id: 0, // the last event the page shows
    bays: new Map(), // port -> bay
    counts: { set: 0, already_set: 0, failed: 0, started: 0 },
    units: [],
    replugCode: -31,
    elapsedMs: 0,
    readAt: performance.now(),
    stopped: false,
  };
  const tiles = new Map(); // port -> tile element
  let synced = false;
  let pending = []; // events heard while the state is being read
  let source = null;

  function word(name, fallback) {
    return words[name] || fallback;
  }
  function stateText(state) {
    return word(stateWords[state], state);
  }
  function resultText(result) {
    return word(resultWords[result], result);
  }
  // The station's words for a step are lx40's English ones: the same step
  // in the page's language.
  function stepText(step) {
    for (const name in english) {
      if (english[name] === step && name.startsWith("kStep")) return word(name, step);
    }
    return step;
  }
  function byId(id) {
    return document.getElementById(id);
  }
  function element(tag, className) {
    const made = document.createElement(tag);
    if (className) made.className = className;
    return made;
  }

  function blankBay(label, port) {
    return {
      bay: label, port: port, state: "ready", serial: null, table: "", percent: -1,
      reason: "", present: false, busy: false,
    };
  }

  // One event, as the station's board applies it.
  function apply(event) {
    if (event.event === "stopped") {
      station.counts = {
        set: event.set, already_set: event.already_set, failed: event.failed,
        started: event.started,
      };
      station.stopped = true;
      return;
    }
    let bay = station.bays.get(event.port);
    if (!bay) {
      // A meter at a port that is not a bay has no tile.
      if (event.event === "ignored") return;
      bay = blankBay(event.bay, event.port);
      station.bays.set(event.port, bay);
    }
    switch (event.event) {
      case "arrived":
        Object.assign(bay, {
          present: true, busy: true, state: "working", serial: null, table: "", percent: -1,
          reason: "",
        });
        break;
      case "started":
        bay.serial = event.serial;
        break;
      case "progress":
        bay.state = event.state === english.kStepSettling ? "settling" : "working";
        bay.table = event.table;
        bay.percent = event.percent;
        bay.step = event.state;
        break;
      case "done": {
        const record = event.record || {};
        bay.busy = false;
        bay.table = "";
        bay.percent = -1;
        if (event.serial !== null) bay.serial = event.serial;
        if (event.result === "set") station.counts.set += 1;
        if (event.result === "already-set") station.counts.already_set += 1;
        if (event.result === "set" || event.result === "already-set") {
          bay.state = "remove";
        } else {
          station.counts.failed += 1;
          bay.state = record.code === station.replugCode ? "re-plug" : "FAILED";
          bay.reason = record.message || "";
        }
        if (!bay.present) Object.assign(bay, { state: "ready", serial: null, reason: "" });
        station.units.push({
          time: event.time, bay: event.bay, port: event.port, serial: event.serial,
          result: event.result, message: record.message || "",
        });
        while (station.units.length > kLastUnits) station.units.shift();
        break;
      }
      case "removed":
        bay.present = false;
        if (!bay.busy) {
          Object.assign(bay, { state: "ready", serial: null, reason: "", table: "", percent: -1 });
        }
        break;
      case "ignored":
        bay.busy = false;
        bay.state = bay.present ? "ignored" : "ready";
        bay.reason = event.reason || "";
        break;
      default:
        break;
    }
  }

  function load(state) {
    station.id = state.id;
    station.counts = state.counts;
    station.replugCode = state.replug_code;
    station.elapsedMs = state.elapsed_ms;
    station.readAt = performance.now();
    station.bays = new Map();
    for (const bay of state.bays) station.bays.set(bay.port, bay);
    station.units = state.units.slice(-kLastUnits);
    byId("station").textContent = state.station || "";
    byId("operator").textContent = state.operator === null ? "–" : state.operator;
    byId("work-order").textContent = state.work_order === null ? "–" : state.work_order;
    byId("lot").textContent = state.lot === null ? "–" : state.lot;
  }

  function tileFor(bay) {
    let tile = tiles.get(bay.port);
    if (tile) return tile;
    tile = element("div", "tile");
    tile.dataset.port = bay.port;
    for (const part of ["label", "port", "state", "serial", "table", "reason"]) {
      tile.appendChild(element("div", part));
    }
    const bar = element("div", "bar");
    bar.appendChild(element("div"));
    tile.appendChild(bar);
    tiles.set(bay.port, tile);
    return tile;
  }

  function drawTile(bay) {
    const tile = tileFor(bay);
    const part = (name) => tile.querySelector("." + name);
    tile.dataset.state = bay.state;
    part("label").textContent = bay.bay === null ? bay.port : bay.bay;
    part("port").textContent = bay.bay === null ? "" : bay.port;
    part("state").textContent = stateText(bay.state);
    part("serial").textContent = bay.serial === null ? "" : bay.serial;
    const writing = bay.state === "working" || bay.state === "settling";
    let table = "";
    if (writing && bay.table) {
      table = bay.table + (bay.percent >= 0 ? " " + bay.percent + "%" : "");
    } else if (writing && bay.step) {
      table = stepText(bay.step);
    }
    part("table").textContent = table;
    part("reason").textContent =
      bay.state === "FAILED" || bay.state === "re-plug" || bay.state === "ignored" ? bay.reason : "";
    const bar = tile.querySelector(".bar");
    bar.hidden = !(writing && bay.percent >= 0);
    bar.firstChild.style.width = Math.max(0, Math.min(100, bay.percent)) + "%";
    return tile;
  }

  function drawBays() {
    const list = Array.from(station.bays.values());
    // Bays named by their ports are shown in port order; a bays file's order stays.
    if (list.every((bay) => bay.bay === null)) {
      list.sort((a, b) => a.port.localeCompare(b.port, "en", { numeric: true }));
    }
    const main = byId("bays");
    const shown = list.map(drawTile);
    for (const [port, tile] of tiles) {
      if (!station.bays.has(port)) {
        tile.remove();
        tiles.delete(port);
      }
    }
    shown.forEach((tile, index) => {
      if (main.children[index] !== tile) main.insertBefore(tile, main.children[index] || null);
    });
  }

  function clock(time) {
    const when = new Date(time);
    if (isNaN(when.getTime())) return time;
    return when.toLocaleTimeString(language === "ja" ? "ja-JP" : "en-GB", { hour12: false });
  }

  function drawUnits() {
    const body = byId("units");
    const rows = [];
    for (const unit of station.units.slice().reverse()) {
      const row = element("tr");
      const cells = [
        clock(unit.time), unit.bay === null ? unit.port : unit.bay,
        unit.serial === null ? "" : unit.serial, resultText(unit.result), unit.message,
      ];
      cells.forEach((text, index) => {
        const cell = element("td", index === 3 ? "result-" + unit.result : "");
        cell.textContent = text;
        row.appendChild(cell);
      });
      rows.push(row);
    }
    body.replaceChildren(...rows);
  }

  function drawCounts() {
    const counts = station.counts;
    byId("count-set").textContent = String(counts.set);
    byId("count-already-set").textContent = String(counts.already_set);
    byId("count-failed").textContent = String(counts.failed);
    const finished = counts.set + counts.already_set + counts.failed;
    const elapsed = station.elapsedMs + (station.stopped ? 0 : performance.now() - station.readAt);
    byId("units-per-hour").textContent =
      elapsed > 0 ? String(Math.round((finished * 3600000) / elapsed)) : "0";
  }

  function notice(text) {
    const box = byId("notice");
    box.hidden = !text;
    box.textContent = text || "";
  }

  function draw() {
    drawBays();
    drawUnits();
    drawCounts();
    if (station.stopped) notice(word("kPageStopped", "The station has stopped"));
  }

  function heard(id, event) {
    if (id <= station.id) return; // in the state already
    station.id = id;
    apply(event);
  }

  function readState() {
    fetch("/api/state", { cache: "no-store" })
      .then((response) => {
        if (!response.ok) throw new Error(response.status);
        return response.json();
      })
      .then((state) => {
        load(state);
        synced = true;
        for (const [id, event] of pending) heard(id, event);
        pending = [];
        draw();
      })
      .catch(() => setTimeout(readState, 1000));
  }

  function connect() {
    source = new EventSource("/events");
    source.onopen = () => {
      synced = false;
      pending = [];
      notice("");
      readState();
    };
    source.onmessage = (message) => {
      const id = Number(message.lastEventId);
      let event;
      try {
        event = JSON.parse(message.data);
      } catch (error) {
        return;
      }
      if (!synced) {
        pending.push([id, event]);
        return;
      }
      heard(id, event);
      draw();
      if (station.stopped) source.close();
    };
    source.onerror = () => {
      if (!station.stopped) notice(word("kPageOffline", "Connection to the station lost"));
    };
  }

  function translate() {
    for (const node of document.querySelectorAll("[data-word]")) {
      node.textContent = word(node.dataset.word, node.textContent);
    }
    document.title = "LX40 " + word("kPageStation", "Station");
  }

  fetch("/api/strings", { cache: "no-store" })
    .then((response) => response.json())
    .then((strings) => {
      english = strings.en || {};
      words = strings[language] || english;
    })
    .catch(() => {})
    .then(() => {
      translate();
      connect();
      setInterval(drawCounts, 1000);
    });
})();
