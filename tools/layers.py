#!/usr/bin/env python3
"""Fails when a source file includes a folder above its own, or when Qt or libcurl code leaks
into the core.

The folders of src/ stand in layers, bottom to top. A file may include its own folder and
the folders below it, never one above: so no two folders can include each other either. A
folder's qt/, curl/ and tesseract/ subfolders belong to the folder; only they, app/ and other
such subfolders may include them, so that the core builds without Qt, libcurl and Tesseract.
"""
import pathlib
import re
import sys

LAYERS = ["text", "platform", "page", "site", "settings", "editor", "batch", "ftp", "check", "app"]
BACKENDS = ("qt", "curl", "tesseract")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def folder_of(relative):
    """(layer, backend or None) of a path under src/, or None for a path that is no folder's."""
    parts = pathlib.PurePosixPath(relative).parts
    if len(parts) < 2 or parts[0] not in LAYERS:
        return None
    backend = parts[1] if len(parts) > 2 and parts[1] in BACKENDS else None
    return parts[0], backend


def problems(src):
    found = []
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        relative = path.relative_to(src).as_posix()
        own = folder_of(relative)
        if own is None:
            found.append(f"{relative}: stands in no layer; add its folder to tools/layers.py")
            continue
        for included in INCLUDE.findall(path.read_text(encoding="utf-8", errors="replace")):
            target = folder_of(included)
            if target is None:
                continue  # a generated header, or one of the build's own
            if LAYERS.index(target[0]) > LAYERS.index(own[0]):
                found.append(f"{relative}: includes {included}, from the higher folder {target[0]}/")
            elif target[1] and not own[1] and own[0] != "app":
                found.append(f"{relative}: includes {included}; the core reaches {target[1]}/ code only through interfaces")
    return found


def main():
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent / "src")
    found = problems(src)
    for line in found:
        print(line)
    print(f"{0 if found else 1} passed, {1 if found else 0} failed")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
