#!/usr/bin/env python3
"""korda report, opened in headless Chromium as a person opens it.

A recording of the virtual instrument inside korda, with what real runs
bring added to it (a channel name full of markup, a gap event, scans in
alarm, an overload, a reading not taken, a channel without readings, an
empty run and a run of one scan), is made into pages; each page is loaded
in Chromium over the DevTools protocol (on a pipe) and checked: nothing
fetched, no console message of error level, the chart areas drawn in
colour, one legend entry per channel, the texts of the file shown as text.

usage: report_browser.py KORDA [--picture RUN.sqlite OUT.png]
  --picture: instead of testing, make the report of a recording and save
  the screenshot of its top (the picture of the README, docs/report.png).
Environment: KORDA_CHROMIUM (the browser, default chromium on PATH);
KORDA_REQUIRE_CHROMIUM=1 makes a missing browser a failure, not a skip.
"""
import base64
import json
import os
import select
import shutil
import sqlite3
import struct
import subprocess
import sys
import tempfile
import time

SKIP = 77  # ctest's SKIP_RETURN_CODE for this test


class Browser:
    """Chromium driven over --remote-debugging-pipe (fds 3 and 4)."""

    def __init__(self, exe, profile):
        to_browser_r, self.to_browser = os.pipe()
        self.from_browser, from_browser_w = os.pipe()
        a, b = os.dup(to_browser_r), os.dup(from_browser_w)

        def wire():
            os.dup2(a, 3)
            os.dup2(b, 4)

        self.proc = subprocess.Popen(
            [exe, "--headless", "--no-sandbox", "--disable-gpu", "--remote-debugging-pipe",
             "--no-first-run", "--user-data-dir=" + profile, "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            close_fds=False, preexec_fn=wire)
        for fd in (to_browser_r, from_browser_w, a, b):
            os.close(fd)
        self.buffer = b""
        self.events = []
        self.next_id = 0

    def close(self):
        try:
            self.call("Browser.close")
        except Exception:
            pass
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        os.close(self.to_browser)
        os.close(self.from_browser)

    def _message(self, deadline):
        while b"\0" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([self.from_browser], [], [], left)[0]:
                raise TimeoutError("no answer from the browser")
            chunk = os.read(self.from_browser, 1 << 20)
            if not chunk:
                raise EOFError("the browser went away")
            self.buffer += chunk
        text, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(text)

    def call(self, method, params=None, session=None, timeout=30):
        self.next_id += 1
        msg = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            msg["sessionId"] = session
        os.write(self.to_browser, json.dumps(msg).encode() + b"\0")
        deadline = time.monotonic() + timeout
        while True:
            m = self._message(deadline)
            if m.get("id") == self.next_id:
                if "error" in m:
                    raise RuntimeError(f"{method}: {m['error']}")
                return m.get("result", {})
            self.events.append(m)

    def wait_for(self, method, timeout=30):
        deadline = time.monotonic() + timeout
        while not any(e.get("method") == method for e in self.events):
            self.events.append(self._message(deadline))


# The pixels in colour (not white, grey or black), the drawn lines, of a PNG
# screenshot, counted by the browser itself.
COLOURED_PIXELS = """new Promise(done => {
  const img = new Image();
  img.onload = () => {
    const c = document.createElement('canvas');
    [c.width, c.height] = [img.width, img.height];
    c.getContext('2d').drawImage(img, 0, 0);
    const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
    let n = 0;
    for (let i = 0; i < d.length; i += 4)
      n += Math.max(d[i], d[i + 1], d[i + 2]) - Math.min(d[i], d[i + 1], d[i + 2]) > 60;
    done(n);
  };
  img.src = 'data:image/png;base64,PNG';
})"""


# What the page shows, measured in it.
PAGE_FACTS = """JSON.stringify({
  charts: [...document.querySelectorAll('svg.chart')].map(s => {
    const r = s.querySelector('rect.plot').getBoundingClientRect();
    return {x: r.x + scrollX, y: r.y + scrollY, width: r.width, height: r.height,
            legend: s.nextElementSibling.querySelectorAll('li').length,
            gaps: s.querySelectorAll('rect.gap').length,
            alarms: s.querySelectorAll('rect.alarm').length,
            top: Math.min(...[...s.querySelectorAll('path.s')].map(p => p.getBBox().y))};
  }),
  legend: [...document.querySelectorAll('ul.legend li')].map(li => li.textContent),
  rows: [...document.querySelectorAll('table.channels tr')].slice(1).map(
      tr => [...tr.cells].map(td => td.textContent)),
  title: document.title})"""


def open_page(browser, path, width=1200):
    """Loads the file; its facts, and the troubles the browser reported."""
    target = browser.call("Target.createTarget", {"url": "about:blank"})["targetId"]
    session = browser.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
    for domain in ("Runtime", "Log", "Network", "Page"):
        browser.call(domain + ".enable", session=session)
    browser.call("Emulation.setDeviceMetricsOverride",
                 {"width": width, "height": 900, "deviceScaleFactor": 1, "mobile": False}, session)
    browser.events.clear()
    url = "file://" + os.path.abspath(path)
    browser.call("Page.navigate", {"url": url}, session)
    browser.wait_for("Page.loadEventFired")
    facts = json.loads(browser.call("Runtime.evaluate", {"expression": PAGE_FACTS,
                                                         "returnByValue": True},
                                    session)["result"]["value"])
    troubles = []
    for e in browser.events:
        p = e.get("params", {})
        if e.get("method") == "Runtime.exceptionThrown":
            troubles.append("exception: " + json.dumps(p)[:300])
        elif e.get("method") == "Runtime.consoleAPICalled" and p.get("type") in ("error", "warning",
                                                                                  "assert"):
            troubles.append("console: " + json.dumps(p.get("args"))[:300])
        elif e.get("method") == "Log.entryAdded" and p["entry"]["level"] in ("error", "warning"):
            troubles.append("log: " + p["entry"].get("text", "")[:300])
        elif e.get("method") == "Network.requestWillBeSent" and p["request"]["url"] != url:
            troubles.append("fetched: " + p["request"]["url"][:300])
    return session, facts, troubles


def screenshot(browser, session, clip):
    """The PNG of the clip, in base64."""
    return browser.call("Page.captureScreenshot",
                        {"format": "png", "captureBeyondViewport": True,
                         "clip": dict(clip, scale=1)}, session)["data"]


def coloured_pixels(browser, session, png):
    return browser.call("Runtime.evaluate", {"expression": COLOURED_PIXELS.replace("PNG", png),
                                             "awaitPromise": True, "returnByValue": True},
                        session)["result"]["value"]


def korda(exe, cwd, *args):
    r = subprocess.run([exe, *args], cwd=cwd, capture_output=True, text=True, timeout=120)
    if r.returncode != 0:
        sys.exit(f"korda {' '.join(args)} ended with {r.returncode}: {r.stderr}")
    return r


def add_what_real_runs_bring(db):
    """Run 1 gets markup in a name, a second unit, a channel without readings,
    a gap event, scans in alarm, an overload and a reading not taken; run 2
    is empty, run 3 holds one scan, run 4 20000 scans of which one spikes."""
    c = sqlite3.connect(db)
    c.execute("UPDATE channels SET name = 'Oven <top> & \"door\"', unit = 'C' WHERE position = 0")
    c.execute("UPDATE channels SET name = 'Supply', unit = 'V' WHERE position = 1")
    c.execute("UPDATE channels SET name = 'Bath', unit = 'C' WHERE position = 2")
    c.execute("INSERT INTO channels VALUES (1, 3, 104, 'Spare', 'mV', 'VOLT', 'AUTO')")
    times = [t for (t,) in c.execute("SELECT time_ms FROM scans ORDER BY sequence")]
    iso = lambda ms: time.strftime("%Y-%m-%dT%H:%M:%S", time.gmtime(ms / 1000)) + \
        ".%03d+00:00" % (ms % 1000)
    c.execute("INSERT INTO gaps (instrument_id, gap_from, gap_until, reason, scans_lost) "
              "VALUES (1, ?, ?, 'the link broke <test>', 3)", (iso(times[19]), iso(times[29])))
    c.execute("DELETE FROM scans WHERE sequence > 20 AND sequence < 30")
    c.execute("UPDATE scans SET alarms = 1 WHERE sequence BETWEEN 40 AND 44")
    c.execute("UPDATE scans SET alarms = 0 WHERE sequence > 44")
    for seq, value in ((10, float("inf")), (12, float("nan"))):
        (blob,) = c.execute("SELECT readings FROM scans WHERE sequence = ?", (seq,)).fetchone()
        c.execute("UPDATE scans SET readings = ? WHERE sequence = ?",
                  (struct.pack("<f", value) + blob[4:], seq))
    for run in (2, 3, 4):
        c.execute("INSERT INTO runs SELECT ?, started, started_ms, ended, korda_version, "
                  "library_version, command_line FROM runs WHERE id = 1", (run,))
        c.execute("INSERT INTO instruments SELECT ?, ?, host, address, model, identity, config_json "
                  "FROM instruments WHERE id = 1", (run, run))
        c.execute("INSERT INTO channels SELECT ?, position, number, name, unit, function, range "
                  "FROM channels WHERE instrument_id = 1", (run,))
    c.execute("INSERT INTO scans SELECT 3, sequence, time_ms, utc_offset_min, alarms, readings "
              "FROM scans WHERE instrument_id = 1 AND sequence = 5")
    c.executemany("INSERT INTO scans VALUES (4, ?, ?, 0, NULL, ?)",
                  ((n, times[0] + 10 * n, struct.pack("<4f", 100 if n == 12345 else 20 + n % 7 / 10,
                                                     5, 20, 1)) for n in range(1, 20001)))
    c.commit()
    c.close()


def test(exe_korda, browser, work):
    korda(exe_korda, work, "record", "--interval", "0", "--count", "60", "--to", "run.sqlite")
    add_what_real_runs_bring(os.path.join(work, "run.sqlite"))
    failures = []

    def check(ok, what):
        if not ok:
            failures.append(what)

    for run, name in (("1", "full"), ("2", "empty"), ("3", "single"), ("4", "many")):
        korda(exe_korda, work, "report", "run.sqlite", "--run", run, "-o", name + ".html")
        session, facts, troubles = open_page(browser, os.path.join(work, name + ".html"))
        check(not troubles, f"{name}: the browser reported {troubles}")
        rows = {r[0]: r for r in facts["rows"]}
        check(sorted(rows) == ["101", "102", "103", "104"], f"{name}: channel rows {sorted(rows)}")
        if name == "empty":
            check(facts["charts"] == [], f"{name}: charts drawn for no scan")
            continue
        check([c["legend"] for c in facts["charts"]] == [2, 1, 1],
              f"{name}: legend entries per chart {facts['charts']}")
        check(len(facts["legend"]) == 4, f"{name}: legend {facts['legend']}")
        if name == "many":
            # 20 scans a pixel column: the one spike still reaches the top of the plot.
            check(facts["charts"][0]["top"] < 12, f"{name}: the spike is lost {facts['charts']}")
            continue
        # The chart of C and the chart of V hold lines; the one of mV has none to draw.
        for chart in facts["charts"][:2]:
            clip = {k: chart[k] for k in ("x", "y", "width", "height")}
            n = coloured_pixels(browser, session, screenshot(browser, session, clip))
            check(n >= (8 if name == "single" else 500), f"{name}: {n} coloured pixels in {chart}")
        if name == "full":
            check(facts["legend"][0] == '101 Oven <top> & "door"', f"legend text {facts['legend']}")
            check(facts["title"] == "Run 1 of run.sqlite", f"title {facts['title']}")
            check(all(c["gaps"] >= 1 and c["alarms"] >= 1 for c in facts["charts"]),
                  f"gap and alarm marks {facts['charts']}")
            # readings, overloads, not taken; the alarms of the instrument's scans.
            check(rows["101"][3:6] == ["49", "1", "1"] and rows["101"][-1] == "5",
                  f"row of 101: {rows['101']}")
            check(rows["104"][3:6] == ["0", "0", "51"], f"row of 104: {rows['104']}")
    return failures


def picture(exe_korda, browser, work, recording, out):
    shutil.copy(recording, os.path.join(work, os.path.basename(recording)))
    korda(exe_korda, work, "report", os.path.basename(recording), "-o", "run.html")
    session, facts, troubles = open_page(browser, os.path.join(work, "run.html"), 960)
    if troubles:
        sys.exit(f"the browser reported {troubles}")
    first = facts["charts"][0]
    clip = {"x": 0, "y": 0, "width": 960, "height": first["y"] + first["height"] + 95}
    with open(out, "wb") as f:
        f.write(base64.b64decode(screenshot(browser, session, clip)))


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    exe_korda = os.path.abspath(sys.argv[1])
    exe = os.environ.get("KORDA_CHROMIUM") or shutil.which("chromium") or shutil.which(
        "chromium-browser")
    if not exe:
        if os.environ.get("KORDA_REQUIRE_CHROMIUM") == "1":
            sys.exit("report_browser: no chromium found, and KORDA_REQUIRE_CHROMIUM=1")
        print("report_browser: SKIPPED: no chromium on PATH (apt-get install chromium)")
        return SKIP
    with tempfile.TemporaryDirectory(prefix="korda-report-") as work:
        browser = Browser(exe, os.path.join(work, "profile"))
        try:
            if len(sys.argv) == 5 and sys.argv[2] == "--picture":
                picture(exe_korda, browser, work, *map(os.path.abspath, sys.argv[3:]))
                return 0
            failures = test(exe_korda, browser, work)
        finally:
            browser.close()
    for f in failures:
        print("FAILED:", f)
    print(f"report_browser: {'failed' if failures else 'passed'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
