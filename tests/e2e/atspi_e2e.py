#!/usr/bin/python3
"""The real program against the simulator, seen and driven as a screen reader does: through
AT-SPI (pyatspi). Run inside tests/e2e/a11y_session.sh (Xvfb, the accessibility bus and its
registry); QUILL_BIN_DIR names the folder with quill and quill-sim. Exit 0 when every check
holds, 1 with the failed checks listed otherwise.

Checked: the antennas are radio buttons named by their captions with the lit one CHECKED, Auto
a check box CHECKED in automatic mode, the band display named "Band" and the link indicator a button named
"Link: Connected"; a reader's Press on an antenna sends the command the simulator receives; a
checked event arrives when the simulator changes the antenna; a notification names the link's
loss and return; the link indicator's Press opens
the Communications window, whose terminal pane's text can be read.
"""

import os
import queue
import re
import signal
import subprocess
import sys
import tempfile
import threading
import time

import pyatspi
from gi.repository import GLib

BIN = os.environ.get("QUILL_BIN_DIR", "")
DEADLINE = 60.0  # seconds for any one condition: generous, a loaded machine is slow
failures = []


def check(ok, what):
    print(("ok    " if ok else "FAIL  ") + what, flush=True)
    if not ok:
        failures.append(what)
    return ok


def pump():
    ctx = GLib.MainContext.default()
    while ctx.pending():
        ctx.iteration(False)


def wait_for(condition, seconds=DEADLINE):
    """Pumps the event loop until condition() is true or the deadline passes."""
    end = time.monotonic() + seconds
    while True:
        pump()
        try:
            value = condition()
        except Exception:  # the tree changes under us while the program starts
            value = None
        if value:
            return value
        if time.monotonic() > end:
            return None
        GLib.MainContext.default().iteration(False)
        time.sleep(0.05)


class Lines:
    """A child's output, line by line, read in the background."""

    def __init__(self, stream):
        self.lines = []
        self.lock = threading.Lock()
        threading.Thread(target=self._read, args=(stream,), daemon=True).start()

    def _read(self, stream):
        for line in iter(stream.readline, ""):
            with self.lock:
                self.lines.append(line.rstrip("\n"))

    def find(self, text):
        with self.lock:
            return [l for l in self.lines if text in l]


def walk(node, depth=0):
    if node is None or depth > 30:
        return
    yield node
    for i in range(node.childCount):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(child, depth + 1)


def find(root, name, role=None):
    for n in walk(root):
        try:
            if n.name == name and (role is None or n.getRoleName() == role):
                return n
        except Exception:
            continue
    return None


def main_frame():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is None:
            continue
        for w in app:
            if w is not None and w.name == "QUILL-2 Controller V1.0":
                return w
    return None


def checked(node):
    return node.getState().contains(pyatspi.STATE_CHECKED)


def main():
    sim = subprocess.Popen([os.path.join(BIN, "quill-sim"), "--port", "0", "--verbose"],
                           stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    sim_out, sim_err = Lines(sim.stdout), Lines(sim.stderr)
    quill = None
    try:
        listen = wait_for(lambda: sim_out.find("LISTEN "))
        if not check(bool(listen), "the simulator listens"):
            return
        port = listen[0].rsplit(":", 1)[1]
        folder = tempfile.mkdtemp(prefix="quill-atspi-")
        ini = os.path.join(folder, "quill.ini")
        with open(ini, "w") as f:
            f.write("[Comm]\nMode=0\nipAddress=127.0.0.1\nipPort=%s\n" % port)
        quill = subprocess.Popen([os.path.join(BIN, "quill"), "--settings", ini])

        frame = wait_for(main_frame)
        if not check(frame is not None, "the main window is in the accessible tree"):
            return
        check(frame.getRoleName() == "frame", "the main window is a frame (%s)" % frame.getRoleName())
        antennas = [wait_for(lambda n=n: find(frame, "Antenna %d" % n, "radio button")) for n in range(1, 9)]
        check(all(antennas), "eight radio buttons named Antenna 1 to Antenna 8")
        if not all(antennas):
            return
        # The simulator starts with radio 1 on antenna 3, in Auto, on 40 m.
        check(wait_for(lambda: checked(antennas[2])) is not None, "Antenna 3 is checked")
        check([checked(a) for a in antennas].count(True) == 1, "only one antenna is checked")
        auto = find(frame, "Auto", "check box")
        check(auto is not None and wait_for(lambda: checked(auto)) is not None, "Auto is a checked check box")
        band = find(frame, "Band")
        check(band is not None and wait_for(lambda: band.queryText().getText(0, -1) == "40") is not None,
              "the band display is named Band and reads 40")
        link = wait_for(lambda: find(frame, "Link: Connected", "push button"))
        check(link is not None, "the link indicator is a button named Link: Connected")

        # A reader's Press on Antenna 5: the simulator receives the click's command.
        action = antennas[4].queryAction()
        check(action.getName(0) == "Press", "the antenna's first action is Press")
        action.doAction(0)
        check(wait_for(lambda: sim_err.find("< [C105350105]")) is not None, "Press on Antenna 5 sent [C105350105]")
        check(wait_for(lambda: checked(antennas[4])) is not None, "Antenna 5 is checked once the device says so")

        # The device changes the antenna: a checked event for the new one.
        events = []
        listener = lambda e: events.append((e.source.name, e.detail1))
        pyatspi.Registry.registerEventListener(listener, "object:state-changed:checked")
        sim.stdin.write("antenna 1 2\n")
        sim.stdin.flush()
        check(wait_for(lambda: ("Antenna 2", 1) in events) is not None,
              "a checked event for Antenna 2 after the device changed it (%s)" % events)
        check(("Antenna 5", 0) in events, "an unchecked event for Antenna 5")
        pyatspi.Registry.deregisterEventListener(listener, "object:state-changed:checked")

        # The device falls silent, and speaks again: a notification names each change of the
        # link, whatever has the focus.
        notices = []
        notice = lambda e: notices.append((e.source.getRoleName(), e.source.name, e.detail1))
        pyatspi.Registry.registerEventListener(notice, "object:state-changed:showing")
        for command, name in (("silent on", "Link: Disconnected"), ("silent off", "Link: Connected")):
            sim.stdin.write(command + "\n")
            sim.stdin.flush()
            check(wait_for(lambda: ("notification", name, 1) in notices) is not None,
                  "a notification %s is shown after \"%s\"" % (name, command))
        pyatspi.Registry.deregisterEventListener(notice, "object:state-changed:showing")

        # The link indicator's Press opens the Communications window; its pane can be read.
        if link is not None:
            link.queryAction().doAction(0)
        dialog = wait_for(lambda: next((w for app in pyatspi.Registry.getDesktop(0) if app for w in app
                                        if w is not None and w.name == "Communications"), None))
        check(dialog is not None and dialog.getRoleName() == "dialog", "the Communications window is a dialog")
        if dialog is not None:
            pane = wait_for(lambda: find(dialog, "Terminal", "terminal"))
            check(pane is not None, "the pane is a terminal named Terminal")
            if pane is not None:
                # Each status packet (of radio 1 or 2) is written over the last, on one row.
                text = wait_for(lambda: re.search(r"\[05C[12]C5", pane.queryText().getText(0, -1)))
                check(bool(text), "the pane's text holds the device's status packets (%r)"
                      % pane.queryText().getText(0, -1)[-200:])
            for name in ("IP Address", "Port", "Available Ports", "Log"):
                check(find(dialog, name) is not None, "the dialog has a control named %s" % name)
    finally:
        if quill is not None:
            quill.send_signal(signal.SIGTERM)
            try:
                quill.wait(30)
            except subprocess.TimeoutExpired:
                quill.kill()
        try:
            sim.stdin.write("quit\n")
            sim.stdin.flush()
            sim.wait(10)
        except Exception:
            sim.kill()


if __name__ == "__main__":
    main()
    if failures:
        print("%d check(s) failed" % len(failures))
    sys.exit(1 if failures else 0)
