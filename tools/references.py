#!/usr/bin/env python3
"""Writes src/text/NamedReferences.inc, the table of HTML's named character references, from
Python's html.entities.html5 (Debian's python3 carries it).

The table is committed rather than made at build time: a build then needs no Python, and the
list is closed (browsers will not add names). `--check` fails when the committed table differs
from the one Python's list gives; the test suite runs it wherever python3 is.
"""
import html.entities
import pathlib
import sys

TARGET = pathlib.Path(__file__).resolve().parent.parent / "src" / "text" / "NamedReferences.inc"


def c_string(text):
    return "".join(f"\\x{b:02X}" for b in text.encode("utf-8"))


def table():
    rows = ["// Made by tools/references.py from Python's html.entities.html5; do not edit.",
            "// Sorted by name; a name without \";\" is also read without one."]
    for name in sorted(html.entities.html5):
        rows.append(f'{{"{name}", "{c_string(html.entities.html5[name])}"}},')
    return "\n".join(rows) + "\n"


def main():
    made = table()
    if sys.argv[1:] == ["--check"]:
        if TARGET.read_text() != made:
            print(f"{TARGET} differs from Python's html.entities.html5: run tools/references.py")
            return 1
        print(f"{len(html.entities.html5)} named references agree")
        return 0
    TARGET.write_text(made)
    return 0


if __name__ == "__main__":
    sys.exit(main())
