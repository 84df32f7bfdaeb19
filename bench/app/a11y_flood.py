#!/usr/bin/python3
"""One case of bench/app/a11y_flood.sh: a11y_flood.py LISTEN(yes|no) SECONDS. Runs inside
tests/e2e/a11y_session.sh with QUILL_BIN_DIR set; prints one line of figures."""

import os
import re
import signal
import statistics
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import GLib

BIN = os.environ["QUILL_BIN_DIR"]
listen, seconds = sys.argv[1] == "yes", float(sys.argv[2])


def pump(until):
    ctx = GLib.MainContext.default()
    while time.monotonic() < until:
        if not ctx.iteration(False):
            time.sleep(0.01)


def wait_for(condition, seconds=60):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        pump(time.monotonic() + 0.05)
        try:
            value = condition()
        except Exception:
            value = None
        if value:
            return value
    sys.exit("a11y_flood: timed out")


def find(root, name, role, depth=0):
    if root is None or depth > 30:
        return None
    try:
        if root.name == name and root.getRoleName() == role:
            return root
        for i in range(root.childCount):
            hit = find(root.getChildAtIndex(i), name, role, depth + 1)
            if hit:
                return hit
    except Exception:
        return None
    return None


def window(name):
    for app in pyatspi.Registry.getDesktop(0):
        for w in app or []:
            if w is not None and w.name == name:
                return w
    return None


def cpu_seconds(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def last_line_number(pane):
    numbers = re.findall(r"TEXT (\d{8})", pane.queryText().getText(0, -1))
    return int(numbers[-1]) if numbers else 0


sim = subprocess.Popen([os.path.join(BIN, "quill-sim"), "--port", "0", "--text", "max"],
                       stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
port = sim.stdout.readline().strip().rsplit(":", 1)[1]
ini = os.path.join(tempfile.mkdtemp(prefix="quill-flood-"), "quill.ini")
open(ini, "w").write("[Comm]\nMode=0\nipAddress=127.0.0.1\nipPort=%s\n" % port)
quill = subprocess.Popen([os.path.join(BIN, "quill"), "--settings", ini])
try:
    main = wait_for(lambda: window("QUILL-2 Controller V1.0"))
    wait_for(lambda: find(main, "Link: Connected", "push button")).queryAction().doAction(0)
    dialog = wait_for(lambda: window("Communications"))
    pane = wait_for(lambda: find(dialog, "Terminal", "terminal"))
    wait_for(lambda: last_line_number(pane) > 0)

    counts = {"text": 0, "caret": 0}

    def on_event(event):
        counts["caret" if event.type.startswith("object:text-caret") else "text"] += 1

    if listen:
        pyatspi.Registry.registerEventListener(on_event, "object:text-changed", "object:text-caret-moved")
    start_cpu, start_line, start = cpu_seconds(quill.pid), last_line_number(pane), time.monotonic()
    latencies = []
    for n in range(20):
        pump(start + seconds * (n + 1) / 21)
        t = time.monotonic()
        subprocess.run([os.path.join(BIN, "quill-ctl"), "--settings", ini, "status"], check=True,
                       stdout=subprocess.DEVNULL)
        latencies.append((time.monotonic() - t) * 1000)
    pump(start + seconds)
    elapsed = time.monotonic() - start
    cpu = (cpu_seconds(quill.pid) - start_cpu) / elapsed * 100
    lines = (last_line_number(pane) - start_line) / elapsed
    print("listener %-3s  text events/s %6.1f  caret events/s %5.1f  CPU %5.1f %%  pane lines/s %9.0f  "
          "quill-ctl status ms median %5.1f max %6.1f" %
          ("yes" if listen else "no", counts["text"] / elapsed, counts["caret"] / elapsed, cpu, lines,
           statistics.median(latencies), max(latencies)), flush=True)
finally:
    quill.send_signal(signal.SIGTERM)
    try:
        quill.wait(30)
    except subprocess.TimeoutExpired:
        quill.kill()
    sim.send_signal(signal.SIGTERM)
    sim.wait(10)
