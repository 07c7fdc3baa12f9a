#!/usr/bin/python3
"""Reads the main window as a screen reader does, through the AT-SPI bus: every label, hint,
offer and the context, while a file name, a placeholder and a caption's text are typed, and
the name changes the program sends when they change.

    /usr/bin/python3 accessibility_walk.py PROGRAM   (starts its own Xvfb and D-Bus session)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIPPED = 77  # what ctest counts as skipped: no X server, D-Bus or pyatspi to read with

if "BW_WALK_INSIDE" not in os.environ:
    if not shutil.which("xvfb-run") or not shutil.which("dbus-run-session"):
        sys.exit(SKIPPED)
    os.environ["BW_WALK_INSIDE"] = "1"
    os.execvp("xvfb-run", ["xvfb-run", "-a", "-s", "-nolisten tcp", "dbus-run-session", "--",
                           sys.executable, os.path.abspath(__file__)] + sys.argv[1:])
try:
    import pyatspi
    from gi.repository import GLib
except ImportError:
    sys.exit(SKIPPED)

GIF = (b"GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff!\xf9\x04\x01\x00\x00\x00\x00,"
       b"\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;")
CAPTION = "Our beach at noon"


def pump_until(condition, what):
    """Lets the bus deliver until the condition holds; a program that never answers fails."""
    deadline = time.monotonic() + 60
    while not condition():
        if time.monotonic() > deadline:
            sys.exit("never came: " + what)
        GLib.MainContext.default().iteration(False)
        time.sleep(0.01)


def walk(node, found):
    found.append(node)
    for child in node:
        if child is not None:
            walk(child, found)
    return found


def main():
    program = sys.argv[1]
    home = tempfile.mkdtemp()
    site = os.path.join(home, "site")
    os.makedirs(site)
    with open(os.path.join(site, "sun.gif"), "wb") as f:
        f.write(GIF)
    with open(os.path.join(site, "other.html"), "w") as f:
        f.write('<p><img src="sun.gif" alt="Sunlight on the sand"></p>')
    with open(os.path.join(site, "page.html"), "w") as f:
        f.write('<p>Before the picture</p><figure><a href="beach.html"><img src="sun.gif"></a>'
                '<figcaption>' + CAPTION + '</figcaption></figure><p>After the picture</p>')

    names = []  # (description of the label, its new name) for every name change heard

    def heard(event):
        try:
            names.append((event.source.description, event.source.name))
        except Exception:
            pass

    pyatspi.Registry.registerEventListener(heard, "object:property-change:accessible-name")
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    child = subprocess.Popen([program, os.path.join(site, "page.html")], env=env)
    failures = []
    try:
        apps = []
        pump_until(lambda: apps or apps.extend(a for a in pyatspi.Registry.getDesktop(0)
                                                if a is not None and a.get_process_id() == child.pid),
                   "the program on the bus")
        nodes = []

        def by_description(text):
            return next((n for n in nodes if n.description == text), None)

        def refresh():
            nodes[:] = walk(apps[0], [])
            return by_description("What the ALT rules say of the text") is not None

        pump_until(refresh, "the main window's labels")
        box = next(n for n in nodes if n.name == "Alt text")
        hint = by_description("What the ALT rules say of the text")
        length = by_description("The ALT text's length in characters")
        context = by_description("The link and caption the image stands in, and the page's text around it")

        def expect(label, part, what):
            pump_until(lambda: part in label.name, what + ": " + repr(part) + " in " + repr(label.name))

        # The offer from the other page, and the context, read as the labels' names.
        expect(hint, "used on 1 other page", "the offer")
        expect(context, "Caption: \u201c" + CAPTION + "\u201d", "the context")
        expect(context, "Link: beach.html", "the context's link")
        labels = {n.description: n.name for n in nodes if n.getRole() == pyatspi.ROLE_LABEL and n.description}
        for description, name in sorted(labels.items()):
            print("label %r: %r" % (description, name))
        if labels.get("Image counter") != "Image 1 of 1":
            failures.append("the counter reads %r" % labels.get("Image counter"))
        rows = [
            ("sun.gif", "[alt-is-filename]"),
            ("image", "[alt-placeholder]"),
            (CAPTION, "[alt-redundant-caption]"),
            ("A wide beach " * 12, " / 150"),
        ]
        for typed, said in rows:
            heard_before = len(names)
            box.queryEditableText().setTextContents(typed)
            expect(length if "/" in said else hint, said, "the hint for " + repr(typed))
            pump_until(lambda: any(said in name for _, name in names[heard_before:]), "a name change with " + said)
            print("typed %r: heard %r" % (typed, names[heard_before:]))
    finally:
        child.kill()
        child.wait()
    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
