"""The window over a real accessibility bus, as a screen reader meets it:
the picture buttons (Go!, Info, Ende) and the browse buttons are push
buttons with a Press action; pressing one answers at once, and what the
click opens (a message, the about box, a file dialog) appears after. The
lists are read by their labels' names; the end of a job is announced as a
notification showing, which Orca speaks wherever the focus is."""
import os
import struct
import sys
import tempfile
import time
import wave

import pyatspi
from gi.repository import GLib


def find_app(name, seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name:
                return app
        time.sleep(0.2)
    return None


def nodes(node):
    found = [node]
    try:
        for child in node:
            if child is not None:
                found.extend(nodes(child))
    except Exception:
        pass
    return found


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def press(node):
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    if "Press" not in names:
        return None
    started = time.time()
    action.doAction(names.index("Press"))
    return time.time() - started


def wait_for(app, test, seconds=10):
    end = time.time() + seconds
    while time.time() < end:
        for n in nodes(app):
            if test(n):
                return n
        time.sleep(0.2)
    return None


def close_modal(app, window):
    # The window's own button (OK, Abbrechen, Schließen) by its Press action.
    for n in nodes(window):
        if n.getRoleName() == "push button" and n.name in ("OK", "Abbrechen", "Schließen", "&OK"):
            press(n)
            return True
    return False


def pump(seconds):
    end = time.time() + seconds
    context = GLib.MainContext.default()
    while time.time() < end:
        while context.iteration(False):
            pass
        time.sleep(0.02)


def job_end_is_announced(app, problems):
    """A WAV to WAV job started over the bus: its end shows the status
    line as a notification, named with what came of it."""
    source = os.path.join(tempfile.mkdtemp(), "ton.wav")
    with wave.open(source, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(44100)
        w.writeframes(b"".join(struct.pack("<hh", (i * 37) % 2000, 0) for i in range(44100)))
    heard = []

    def listen(event):
        try:
            if event.detail1 and event.source.getRoleName() == "notification":
                heard.append(event.source.name)
        except Exception:
            pass

    pyatspi.Registry.registerEventListener(listen, "object:state-changed:showing")
    # The third page, chosen as a screen reader user chooses it: its tab
    # pressed, once whatever the cases above opened has gone.
    pump(1.0)
    tab = next((t for t in nodes(app) if t.getRoleName() == "page tab" and t.name == "WAV->WAV Converter"), None)
    if tab is None or press(tab) is None:
        problems.append("the WAV->WAV page cannot be chosen over the bus")
        return
    pump(0.5)
    fields = {n.name: n for n in nodes(app) if n.getRoleName() == "text" and showing(n)}
    if "Quell-WAV-Datei" not in fields or "Ziel-WAV-Datei" not in fields:
        problems.append("no source and target fields on the WAV page: %s" % sorted(fields))
        return
    fields["Quell-WAV-Datei"].queryEditableText().setTextContents(source)
    fields["Ziel-WAV-Datei"].queryEditableText().setTextContents(source[:-4] + "-neu.wav")
    go = next((b for b in nodes(app) if b.name == "Go!" and showing(b)), None)
    press(go)
    end = time.time() + 20
    while time.time() < end and not heard:
        pump(0.2)
    pyatspi.Registry.deregisterEventListener(listen, "object:state-changed:showing")
    if not any(h.startswith("Konvertierung abgeschlossen: ton-neu.wav") for h in heard):
        problems.append("the end of the job was not announced: %s" % heard)


def main():
    app = find_app("Sondrel")
    if app is None:
        print("the program never came onto the accessibility bus")
        return 1
    problems = []
    buttons = [n for n in nodes(app) if n.name in ("Go!", "Info", "Ende") or n.name.startswith("Durchsuchen:")]
    if len([b for b in buttons if b.name == "Go!"]) != 5:
        problems.append("not five Go! buttons: %s" % [b.name for b in buttons])
    for b in buttons:
        if b.getRoleName() != "push button":
            problems.append("%s has the role %s" % (b.name, b.getRoleName()))
        action = b.queryAction()
        if "Press" not in [action.getName(i) for i in range(action.nActions)]:
            problems.append("%s cannot be pressed" % b.name)
    browse = [b for b in buttons if b.name.startswith("Durchsuchen:") and showing(b)]
    if len(set(b.name for b in browse)) != len(browse) or len(browse) < 2:
        problems.append("browse buttons on the page not told apart: %s" % [b.name for b in browse])

    cases = [("Go!", lambda n: n.getRoleName() in ("alert", "dialog") and any(
                 c.name == "Sie müssen zunächst die Quell- und Zieldatei wählen!" for c in nodes(n))),
             ("Info", lambda n: n.getRoleName() == "dialog" and n.name == "Info"),
             (browse[0].name if browse else "", lambda n: n.getRoleName() in ("dialog", "file chooser"))]
    for name, opened in cases:
        button = next((b for b in buttons if b.name == name and showing(b)), None)
        if button is None:
            problems.append("no %s button in view" % name)
            continue
        took = press(button)
        if took is None:
            continue  # said above
        if took > 1.0:
            problems.append("pressing %s took %.1f s to answer" % (name, took))
        window = wait_for(app, opened)
        if window is None:
            problems.append("pressing %s opened nothing" % name)
            continue
        if not close_modal(app, window):
            problems.append("the window %s opened has no button to close it" % name)
        time.sleep(0.5)
    # A pick-only list is named by its label, its choice is its value.
    genre = [n for n in nodes(app) if n.getRoleName() == "combo box" and n.name == "Genre"]
    if not genre:
        problems.append("no combo box named Genre: %s" % [n.name for n in nodes(app) if n.getRoleName() == "combo box"])
    job_end_is_announced(app, problems)
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
