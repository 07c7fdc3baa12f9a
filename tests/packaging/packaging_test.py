#!/usr/bin/python3
"""The Debian packages as CPack builds them, and the files they install, checked by the
tools a distribution checks them with. Exits 77 (a skip for ctest) when a tool is missing.

    packaging_test.py SOURCE_DIR BUILD_DIR
"""

import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

source, build = Path(sys.argv[1]), Path(sys.argv[2])
TOOLS = ["cpack", "dpkg-deb", "dpkg-shlibdeps", "desktop-file-validate", "appstreamcli", "groff", "ldd"]
missing = [tool for tool in TOOLS if not shutil.which(tool)]
if missing:
    print(f"SKIPPED: not installed here: {', '.join(missing)} (Debian: dpkg-dev desktop-file-utils appstream groff-base)")
    sys.exit(77)

DESKTOP_ONLY = r"qt|dbus|keychain|curl|ssl|X11|xcb"
failures = []


def run(*command):
    done = subprocess.run(command, capture_output=True, text=True, errors="replace")
    return done.returncode, done.stdout + done.stderr


with tempfile.TemporaryDirectory() as scratch:
    code, said = run("cpack", "-G", "DEB", "--config", str(build / "CPackConfig.cmake"), "-B", scratch)
    if code != 0:
        print(said)
        sys.exit(1)
    debs = {subprocess.run(["dpkg-deb", "-f", str(deb), "Package"], capture_output=True, text=True).stdout.strip(): deb
            for deb in Path(scratch).glob("*.deb")}

    def field(package, name):
        return subprocess.run(["dpkg-deb", "-f", str(debs[package]), name], capture_output=True, text=True).stdout

    def files(package):
        return run("dpkg", "-c", str(debs[package]))[1]

    # What, the text it is about, a pattern it must hold, a pattern it must not.
    rows = [
        ("the packages", " ".join(sorted(debs)), r"^brindlework brindlework-check$", None),
        ("brindlework-check's Depends", field("brindlework-check", "Depends"), r"libc6 .*libstdc\+\+6", DESKTOP_ONLY),
        ("brindlework-check's files", files("brindlework-check"), r"\./usr/bin/brindlework-check\n(.*\n)*.*man1/brindlework-check\.1\.gz",
         r"bin/brindlework\n|applications|metainfo"),
        # The libraries it links itself: Tesseract's own (libcurl among them) are not the desktop's.
        ("brindlework-check's libraries", run("readelf", "-d", str(build / "brindlework-check"))[1], r"libstdc\+\+", DESKTOP_ONLY),
        ("brindlework's Depends", field("brindlework", "Depends"),
         r"libcurl4.*libqt6keychain1.*libqt6widgets6", None),
        ("brindlework's files", files("brindlework"),
         r"bin/brindlework\n(.*\n)*.*applications/brindlework\.desktop\n(.*\n)*.*man1/brindlework\.1\.gz\n(.*\n)*.*"
         r"metainfo/io\.github\.brindlework\.brindlework\.metainfo\.xml", r"brindlework-check"),
    ]
    desktop = source / "resources/brindlework.desktop"
    metainfo = source / "resources/io.github.brindlework.brindlework.metainfo.xml"
    code, said = run("desktop-file-validate", str(desktop))
    rows.append(("desktop-file-validate", f"{code}\n{said}", r"^0\n", r"error|warning"))
    rows.append(("the desktop file's categories", desktop.read_text(), r"\nCategories=.*Accessibility;.*Utility;", None))
    code, said = run("appstreamcli", "validate", "--no-net", str(metainfo))
    rows.append(("appstreamcli validate", f"{code}\n{said}", r"^0\n", r"\nE: |\nW: "))
    for page in ("brindlework.1", "brindlework-check.1"):
        code, said = run("groff", "-man", "-ww", "-z", "-Tutf8", str(source / "man" / page))
        rows.append((f"groff on {page}", f"{code}\n{said}", r"^0\n$", None))

    for what, text, must, mustNot in rows:
        if not re.search(must, text) or (mustNot and re.search(mustNot, text, re.IGNORECASE)):
            failures.append(f"{what}: wanted /{must}/{' and not /' + mustNot + '/' if mustNot else ''} in:\n{text}")

print("\n\n".join(failures) or f"{len(rows)} checks passed")
sys.exit(1 if failures else 0)
