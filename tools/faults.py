#!/usr/bin/python3
"""Applies deliberate faults to a scratch copy of the tree, one at a time, and tells which
of them the test suite catches.

    tools/faults.py                      every fault in tools/faults.txt
    tools/faults.py --only 'ftp-*' page-comment-bang
    tools/faults.py --folder src/ftp --folder src/app/qt
    tools/faults.py --markdown tools/faults-baseline.md
    tools/faults.py --rev cb7f726        the faults against that commit's files
    tools/faults.py --check --compile    only checks that every fault applies and compiles
    tools/faults.py --list

The tree (the working tree's files, or a commit's with --rev) is copied once into
SCRATCH/src and built in SCRATCH/build; a later run reuses both and copies only the files
that differ, so its first build is short. Each fault is applied, built incrementally and
tested with ctest, then taken out again. A fault is "caught" when any test fails,
"survived" when all pass, and "does not build" when the build fails.
"""

import argparse
import datetime
import fcntl
import fnmatch
import io
import json
import os
import re
import shlex
import signal
import subprocess
import sys
import tarfile
import time
from dataclasses import dataclass, field
from pathlib import Path

HERE = Path(__file__).resolve().parent
REPO = HERE.parent
DEFAULT_FAULTS = HERE / "faults.txt"
DEFAULT_SCRATCH = Path(os.environ.get("TMPDIR", "/tmp")) / "brindlework-faults"

CAUGHT, SURVIVED, NO_BUILD, ERROR = "caught", "survived", "does not build", "error"


@dataclass
class Fault:
    id: str
    file: str
    about: str
    find: str
    repl: str
    line: int  # where it starts in the fault list

    @property
    def folder(self):
        return str(Path(self.file).parent)


@dataclass
class Outcome:
    fault: Fault
    result: str
    failed: list = field(default_factory=list)
    note: str = ""
    seconds: float = 0.0


# ---- The fault list ----

def parse_faults(path):
    """Blocks of "[id]" followed by "key: value" lines; a value of several lines is written
    "key<<", its lines, then ">>". Text is taken as written: no escapes."""
    faults, errors = [], []
    current, start = None, 0
    lines = path.read_text(encoding="utf-8").split("\n")
    i = 0

    def finish():
        if current is None:
            return
        missing = [k for k in ("file", "about", "find", "repl") if k not in current]
        if missing:
            errors.append(f"{path.name}:{start}: [{current['id']}] lacks {', '.join(missing)}")
            return
        faults.append(Fault(current["id"], current["file"], current["about"], current["find"], current["repl"], start))

    while i < len(lines):
        raw = lines[i]
        i += 1
        if current is None and (not raw.strip() or raw.startswith("#")):
            continue
        m = re.fullmatch(r"\[([A-Za-z0-9_.-]+)\]\s*", raw)
        if m:
            finish()
            current, start = {"id": m.group(1)}, i
            continue
        if not raw.strip() or raw.startswith("#"):
            continue
        if current is None:
            errors.append(f"{path.name}:{i}: text outside a fault: {raw!r}")
            continue
        m = re.fullmatch(r"(file|about|find|repl)<<\s*", raw)
        if m:
            body = []
            while i < len(lines) and lines[i] != ">>":
                body.append(lines[i])
                i += 1
            if i >= len(lines):
                errors.append(f"{path.name}:{i}: [{current['id']}] {m.group(1)}<< is never closed by >>")
            i += 1
            current[m.group(1)] = "\n".join(body)
            continue
        m = re.fullmatch(r"(file|about|find|repl):(?: (.*))?", raw)
        if not m:
            errors.append(f"{path.name}:{i}: [{current['id']}] cannot read {raw!r}")
            continue
        current[m.group(1)] = m.group(2) or ""
    finish()

    seen = set()
    for f in faults:
        if f.id in seen:
            errors.append(f"{path.name}:{f.line}: the id {f.id} is used twice")
        seen.add(f.id)
        if not f.find:
            errors.append(f"{path.name}:{f.line}: [{f.id}] has nothing to find")
        if f.find == f.repl:
            errors.append(f"{path.name}:{f.line}: [{f.id}] replaces its text with the same text")
    return faults, errors


def applies(fault, files):
    """None when the fault's text stands exactly once in its file, else why not."""
    if fault.file not in files:
        return f"{fault.file} is not there"
    count = files[fault.file].decode("utf-8", "surrogateescape").count(fault.find)
    if count == 0:
        return f"its text is not in {fault.file}"
    if count > 1:
        return f"its text stands {count} times in {fault.file}; it must be once"
    return None


def select(faults, only, folders):
    if not only and not folders:
        return list(faults)
    chosen = []
    for f in faults:
        by_id = any(fnmatch.fnmatchcase(f.id, pattern) for pattern in only)
        by_folder = any(f.folder == d or f.folder.startswith(d + "/") for d in folders)
        if by_id or by_folder:
            chosen.append(f)
    return chosen


# ---- The scratch copy ----

def git(*args):
    return subprocess.run(["git", "-C", str(REPO), *args], check=True, capture_output=True).stdout


def tree_files(rev):
    """{relative path: bytes} of the tree to test: a commit's, or with none the working tree's."""
    if rev:
        data = git("archive", "--format=tar", rev)
        out = {}
        with tarfile.open(fileobj=io.BytesIO(data)) as tar:
            for member in tar.getmembers():
                if member.isfile():
                    out[member.name] = tar.extractfile(member).read()
        return out
    names = git("ls-files", "-z", "-co", "--exclude-standard").decode("utf-8", "surrogateescape").split("\0")
    out = {}
    for name in names:
        path = REPO / name
        if name and path.is_file():  # a tracked file deleted in the working tree is left out
            out[name] = path.read_bytes()
    return out


def sync(files, dest):
    """Makes dest hold exactly these files; an unchanged file keeps its time, so the build
    redoes only what differs. Returns how many files were written."""
    written = 0
    for name, data in files.items():
        target = dest / name
        try:
            if target.read_bytes() == data:
                continue
        except OSError:
            pass
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(data)
        written += 1
    wanted = set(files)
    for path in sorted(dest.rglob("*"), reverse=True):
        rel = path.relative_to(dest).as_posix()
        if path.is_file() and rel not in wanted:
            path.unlink()
    return written


MARKER = ".brindlework-faults"


def usable_scratch(scratch):
    """The copy's folder is emptied of what the tree does not hold: only a folder of its own
    may be used, never one in or around the repository."""
    scratch = scratch.resolve()
    if scratch == REPO or REPO in scratch.parents or scratch in REPO.parents:
        print(f"The scratch folder {scratch} must lie outside the repository.", file=sys.stderr)
        return False
    if scratch.exists() and any(scratch.iterdir()) and not (scratch / MARKER).exists():
        print(f"{scratch} holds files that are not a scratch copy of this script's; name another folder.",
              file=sys.stderr)
        return False
    scratch.mkdir(parents=True, exist_ok=True)
    (scratch / MARKER).touch()
    return True


def lock_scratch(scratch):
    """Two runs in one scratch folder would apply faults over each other's: the second waits
    for no one and stops. The lock goes with the process."""
    handle = open(scratch / MARKER, "a")
    try:
        fcntl.flock(handle, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except OSError:
        print(f"Another run is using {scratch}; name another folder with --scratch.", file=sys.stderr)
        return None
    return handle


def describe_tree(rev):
    commit = git("rev-parse", "--short", rev or "HEAD").decode().strip()
    subject = git("log", "-1", "--format=%s", rev or "HEAD").decode().strip()
    if rev:
        return commit, subject, "the files as committed"
    changed = [l[3:] for l in git("status", "--porcelain").decode().splitlines() if l.strip()]
    if not changed:
        return commit, subject, "working tree, same as HEAD"
    shown = ", ".join(changed[:8]) + (f" and {len(changed) - 8} more" if len(changed) > 8 else "")
    return commit, subject, f"working tree with {len(changed)} changed or new files: {shown}"


# ---- Building and testing ----

def run(cmd, log, timeout, env=None):
    """Runs cmd with its output into log; (return code, output). A run past its time is
    stopped, with its children, and gives None."""
    with open(log, "w", encoding="utf-8", errors="replace") as out:
        out.write("$ " + " ".join(cmd) + "\n")
        out.flush()
        proc = subprocess.Popen(cmd, stdout=out, stderr=subprocess.STDOUT, env=env, start_new_session=True)
        try:
            rc = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
            rc = None
        except BaseException:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
            raise
    return rc, Path(log).read_text(encoding="utf-8", errors="replace")


def configure(args):
    cmd = ["cmake", "-S", str(args.scratch / "src"), "-B", str(args.scratch / "build"), "-G", "Ninja",
           "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DBW_BUILD_BENCH=OFF"]
    return run(cmd, args.scratch / "logs" / "configure.log", args.build_timeout)[0] == 0


def build(args, log):
    cmd = ["ninja", "-C", str(args.scratch / "build"), f"-j{args.jobs}"] + args.target
    rc, _ = run(cmd, log, args.build_timeout)
    return rc == 0


FAILED_LINE = re.compile(r"^\s*\d+ - (\S.*?) \(([^)]*)\)\s*$")


def test(args, log):
    """(passed, failing test names, tests run)."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    cmd = ["ctest", "--test-dir", str(args.scratch / "build"), f"-j{args.jobs}", "--timeout", str(args.timeout),
           "--no-tests=error"]
    if args.fast:
        cmd.append("--stop-on-failure")
    if args.target:
        cmd += ["-L", "^(" + "|".join(map(re.escape, args.target)) + ")$"]
    rc, output = run(cmd, log, args.suite_timeout, env)
    failed = []
    if "The following tests FAILED:" in output:
        for line in output.split("The following tests FAILED:", 1)[1].splitlines():
            m = FAILED_LINE.match(line)
            if m:
                failed.append(m.group(1) + ("" if m.group(2) == "Failed" else f" ({m.group(2)})"))
    m = re.search(r"tests passed, (\d+) tests failed out of (\d+)", output)
    total = int(m.group(2)) if m else 0
    if rc is None:
        failed.append(f"(the suite ran past {args.suite_timeout} s and was stopped)")
    elif rc != 0 and not failed:
        failed.append("(ctest failed; see its log)")
    return rc == 0 and not failed, failed, total


def try_fault(fault, args):
    target = args.scratch / "src" / fault.file
    original = target.read_bytes()
    text = original.decode("utf-8", "surrogateescape")
    if text.count(fault.find) != 1:
        return Outcome(fault, ERROR, note=applies(fault, {fault.file: original}) or "cannot apply")
    logs = args.scratch / "logs"
    try:
        target.write_bytes(text.replace(fault.find, fault.repl, 1).encode("utf-8", "surrogateescape"))
        progress(f"building ... ")
        if not build(args, logs / f"{fault.id}.build.log"):
            return Outcome(fault, NO_BUILD, note=f"see {logs / (fault.id + '.build.log')}")
        progress("testing ... ")
        passed, failed, _ = test(args, logs / f"{fault.id}.test.log")
        return Outcome(fault, SURVIVED if passed else CAUGHT, failed)
    finally:
        # Written anew, so its newer time makes the next build take the fault out again.
        target.write_bytes(original)


def compile_each(faults, args):
    """Compiles each faulted file alone (syntax only) with its command from the scratch
    build; the faults that do not compile."""
    database = args.scratch / "build" / "compile_commands.json"
    if not database.exists() or not (args.scratch / MARKER).exists():
        print(f"There is no scratch build in {args.scratch} yet: run some fault first (--only ID).", file=sys.stderr)
        return list(faults)
    lock = lock_scratch(args.scratch)
    if not lock:
        return list(faults)
    commands = {}
    for entry in json.loads(database.read_text()):
        commands.setdefault(Path(entry["file"]).resolve(), entry)
    src = (args.scratch / "src").resolve()
    sync(tree_files(args.rev), src)
    bad = []
    for k, fault in enumerate(faults, 1):
        target = src / fault.file
        entry = commands.get(target)
        progress(f"[{k:>3}/{len(faults)}] {fault.id:28} ")
        if not entry:
            progress("not compiled by the build", "\n")
            continue
        words = shlex.split(entry["command"])
        cmd, skip = [], False
        for w in words:  # no object or dependency file: only the compiler's verdict
            if skip:
                skip = False
            elif w in ("-o", "-MT", "-MF"):
                skip = True
            elif w != "-MD":
                cmd.append(w)
        original, times = target.read_bytes(), target.stat()
        try:
            target.write_text(original.decode("utf-8").replace(fault.find, fault.repl, 1), encoding="utf-8")
            done = subprocess.run(cmd + ["-fsyntax-only"], cwd=entry["directory"], capture_output=True, text=True)
        finally:
            # Nothing was built from the fault: the old time keeps the build from redoing the file.
            target.write_bytes(original)
            os.utime(target, ns=(times.st_atime_ns, times.st_mtime_ns))
        if done.returncode == 0:
            progress("compiles", "\n")
        else:
            bad.append(fault)
            progress("does not compile:\n" + done.stderr, "\n")
    print(f"{len(faults) - len(bad)} of {len(faults)} faults compile.")
    return bad


# ---- Reporting ----

def progress(text, end=""):
    print(text, end=end, flush=True)


def minutes(seconds):
    return f"{int(seconds // 60)} min {int(seconds % 60)} s"


def first_failing(outcome, shown=3):
    if outcome.result == CAUGHT:
        names = ", ".join(outcome.failed[:shown])
        more = len(outcome.failed) - shown
        return names + (f" (+{more} more)" if more > 0 else "")
    return outcome.note


def summary(outcomes):
    count = lambda r: sum(1 for o in outcomes if o.result == r)
    line = f"{count(CAUGHT)} caught, {count(SURVIVED)} survived, {count(NO_BUILD)} did not build"
    if count(ERROR):
        line += f", {count(ERROR)} could not be applied"
    return line


def print_table(outcomes):
    rows = [("id", "folder", "result", "first failing tests")]
    rows += [(o.fault.id, o.fault.folder, o.result, first_failing(o, 2)) for o in outcomes]
    widths = [max(len(r[k]) for r in rows) for k in range(3)]
    for r in rows:
        print("  ".join(r[k].ljust(widths[k]) for k in range(3)) + "  " + r[3])


def cell(text):
    return text.replace("|", "\\|").replace("\n", " ")


def markdown(outcomes, left, info):
    out = [f"# Faults and the suite", "",
           f"Run {info['date']} on commit {info['commit']} ({cell(info['subject'])}); {cell(info['tree'])}.",
           f"The suite: {info['tests']} tests, `ctest -j{info['jobs']} --timeout {info['timeout']}` with "
           f"`QT_QPA_PLATFORM=offscreen`, in a RelWithDebInfo build without benchmarks.",
           f"{len(outcomes)} faults in {minutes(info['seconds'])}, "
           f"{minutes(info['seconds'] / max(1, len(outcomes)))} each on average"
           f" (a clean build and run before them: {minutes(info['setup'])}).", "",
           "| Id | Folder | Fault | Result | First failing tests | s |",
           "|---|---|---|---|---|---:|"]
    for o in outcomes:
        result = f"**{o.result}**" if o.result != CAUGHT else o.result
        out.append(f"| {o.fault.id} | {o.fault.folder} | {cell(o.fault.about)} | {result} | "
                   f"{cell(first_failing(o))} | {o.seconds:.0f} |")
    out += ["", f"**{summary(outcomes)}**", ""]
    survived = [o.fault.id for o in outcomes if o.result == SURVIVED]
    if survived:
        out += ["Survived: " + ", ".join(survived) + ".", ""]
    if left:
        out += [f"Not run ({len(left)}): " + ", ".join(f.id for f in left) + ".", ""]
    many = [o for o in outcomes if o.result == CAUGHT and len(o.failed) > 3]
    if many:
        # Which tests alone catch a fault is what a change to the suite must know.
        out += ["## Every failing test, where the table shows only the first", ""]
        out += [f"- {o.fault.id}: " + ", ".join(o.failed) for o in many] + [""]
    return "\n".join(out)


# ---- Main ----

def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--faults", type=Path, default=DEFAULT_FAULTS, help="the fault list (default: %(default)s)")
    p.add_argument("--only", nargs="+", default=[], metavar="ID",
                   help="run these faults; shell patterns such as 'ftp-*' work")
    p.add_argument("--folder", action="append", default=[], metavar="DIR",
                   help="run the faults of this folder and those below it (src/ftp); may be repeated")
    p.add_argument("--scratch", type=Path, default=DEFAULT_SCRATCH,
                   help="the scratch folder for the copy, its build and the logs (default: %(default)s)")
    p.add_argument("--rev", metavar="COMMIT", help="test this commit's files rather than the working tree's")
    p.add_argument("--head", action="store_const", const="HEAD", dest="rev", help="the same as --rev HEAD")
    p.add_argument("--markdown", type=Path, metavar="FILE", help="write the table to FILE, after every fault")
    p.add_argument("--keep-going", action="store_true",
                   help="run the rest when a fault cannot be applied, rather than stopping before any is run")
    p.add_argument("--no-clean-run", action="store_true",
                   help="skip the run of the suite without faults (it must pass, or every fault would look caught)")
    p.add_argument("--fast", action="store_true", help="stop the suite at its first failure (fewer names in the table)")
    p.add_argument("--target", action="append", default=[], metavar="EXE",
                   help="build only this test program and run only its tests (repeatable)")
    p.add_argument("--jobs", type=int, default=2, help="for ninja and ctest (default: %(default)s)")
    p.add_argument("--timeout", type=int, default=120, help="seconds for each test (default: %(default)s)")
    p.add_argument("--build-timeout", type=int, default=1800, help="seconds for one build (default: %(default)s)")
    p.add_argument("--suite-timeout", type=int, default=900, help="seconds for one run of the suite (default: %(default)s)")
    p.add_argument("--list", action="store_true", help="list the chosen faults and stop")
    p.add_argument("--check", action="store_true", help="check that each chosen fault applies to the tree, and stop")
    p.add_argument("--compile", action="store_true",
                   help="with --check: also compile each faulted file alone in the scratch build (which must exist)")
    args = p.parse_args()
    args.folder = [d.rstrip("/") if d.startswith("src") else "src/" + d.rstrip("/") for d in args.folder]

    faults, errors = parse_faults(args.faults)
    if errors:
        print("\n".join(errors), file=sys.stderr)
        return 2
    chosen = select(faults, args.only, args.folder)
    unknown = [pattern for pattern in args.only if not any(fnmatch.fnmatchcase(f.id, pattern) for f in faults)]
    if unknown:
        print("No fault is called " + ", ".join(unknown), file=sys.stderr)
        return 2
    if not chosen:
        print("No fault was chosen.", file=sys.stderr)
        return 2

    if args.list:
        for f in chosen:
            print(f"{f.id:28} {f.folder:22} {f.about}")
        return 0

    if args.check:
        files = tree_files(args.rev)
        bad = [(f, why) for f in chosen if (why := applies(f, files))]
        for f, why in bad:
            print(f"{args.faults.name}:{f.line}: [{f.id}] {why}")
        print(f"{len(chosen) - len(bad)} of {len(chosen)} faults apply.")
        if args.compile and not bad:
            bad = compile_each(chosen, args)
        return 1 if bad else 0

    started = time.monotonic()
    if not usable_scratch(args.scratch):
        return 2
    lock = lock_scratch(args.scratch)
    if not lock:
        return 2
    src, logs = args.scratch / "src", args.scratch / "logs"
    src.mkdir(parents=True, exist_ok=True)
    logs.mkdir(parents=True, exist_ok=True)
    commit, subject, tree = describe_tree(args.rev)
    progress(f"Copying the tree of {commit} ({tree}) to {src} ... ")
    files = tree_files(args.rev)
    written = sync(files, src)
    progress(f"{written} files written.", "\n")

    bad = [(f, why) for f in chosen if (why := applies(f, files))]
    for f, why in bad:
        print(f"{args.faults.name}:{f.line}: [{f.id}] {why}", file=sys.stderr)
    if bad and not args.keep_going:
        print("Nothing was run. Fix the fault list, or pass --keep-going.", file=sys.stderr)
        return 2

    progress("Configuring and building the copy ... ")
    if not configure(args) or not build(args, logs / "clean.build.log"):
        progress("failed.", "\n")
        print(f"The copy does not build without faults; see {logs}.", file=sys.stderr)
        return 2
    progress("done.", "\n")
    tests = 0
    if not args.no_clean_run:
        progress("Running the suite without faults ... ")
        passed, failed, tests = test(args, logs / "clean.test.log")
        if not passed:
            progress("it fails.", "\n")
            print("Without any fault these fail: " + ", ".join(failed) +
                  f"\nEvery fault would look caught; see {logs / 'clean.test.log'}.", file=sys.stderr)
            return 2
        progress(f"all {tests} pass.", "\n")
    setup = time.monotonic() - started

    info = {"date": datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC"), "commit": commit, "subject": subject,
            "tree": tree, "tests": tests or "?", "jobs": args.jobs, "timeout": args.timeout, "setup": setup}
    outcomes = []
    faults_started = time.monotonic()
    try:
        for k, fault in enumerate(chosen, 1):
            progress(f"[{k:>3}/{len(chosen)}] {fault.id:28} ")
            t = time.monotonic()
            outcome = try_fault(fault, args)
            outcome.seconds = time.monotonic() - t
            outcomes.append(outcome)
            progress(f"{outcome.result}  {first_failing(outcome, 2)}  ({outcome.seconds:.0f} s)", "\n")
            if outcome.result == ERROR and not args.keep_going:
                print(f"Stopped: {fault.id} could not be applied ({outcome.note}).", file=sys.stderr)
                break
            if args.markdown:
                info["seconds"] = time.monotonic() - faults_started
                args.markdown.write_text(markdown(outcomes, chosen[len(outcomes):], info), encoding="utf-8")
    except KeyboardInterrupt:
        print("\nInterrupted; the fault in hand was taken out again.", file=sys.stderr)

    info["seconds"] = time.monotonic() - faults_started
    print()
    print_table(outcomes)
    print()
    print(summary(outcomes))
    survived = [o.fault.id for o in outcomes if o.result == SURVIVED]
    if survived:
        print("Survived: " + ", ".join(survived))
    left = chosen[len(outcomes):]
    if left:
        print(f"Not run ({len(left)}): " + ", ".join(f.id for f in left))
    print(f"Took {minutes(time.monotonic() - started)}; logs in {logs}.")
    if args.markdown and outcomes:
        args.markdown.write_text(markdown(outcomes, left, info), encoding="utf-8")
        print(f"Table written to {args.markdown}.")
    return 0 if not left and all(o.result != ERROR for o in outcomes) else 1


if __name__ == "__main__":
    sys.exit(main())
