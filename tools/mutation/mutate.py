#!/usr/bin/env python3
"""Plants faults in a copy of the source tree, one at a time, and says which
test catches each. See docs/mutation.md.

    python3 tools/mutation/mutate.py [FAULT_FILE ...] [--only TEXT] [--list]

Each fault file (tools/mutation/faults/*.faults) names one source file, the
test programs that cover it and its faults as text replacements. The tree is
copied to a work folder (build-mutation/ beside the sources) and built there
once; each fault is written into the copy, the tests' targets are rebuilt
incrementally and the programs run, each under a time limit, until one
fails. The copy is restored after every fault, whatever happened.
"""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path

HERE = Path(__file__).resolve().parent
REPO = HERE.parent.parent
BACKENDS = {"": None, "pg": "postgresql", "stub": "arxstub"}


@dataclass
class Fault:
    title: str
    line: int
    find: str = ""
    replace: str = ""
    equivalent: str = ""


@dataclass
class TestRun:
    """One program of the build, on one backend, with an optional gtest filter."""

    program: str
    backend: str = ""
    filter: str = ""

    def name(self):
        prefix = self.backend + "." if self.backend else ""
        return prefix + self.program + ("(" + self.filter + ")" if self.filter else "")


@dataclass
class FaultFile:
    path: Path
    source: str = ""
    tests: list = field(default_factory=list)
    faults: list = field(default_factory=list)


class FormatError(Exception):
    pass


def parse(path):
    """A fault file: "source:" and "tests:" lines, then faults, each a line
    "== title", an optional "equivalent: why" and its "- find" and
    "+ replace" lines (several make a text of several lines; a lone "+"
    an empty line; no "+" line deletes what is found). "#" starts a comment."""
    out = FaultFile(path)
    current = None
    finds, replaces = [], []

    def close():
        if current is None:
            return
        if not finds:
            raise FormatError(f"{path}:{current.line}: fault '{current.title}' has no '-' line")
        current.find = "\n".join(finds)
        current.replace = "\n".join(replaces)
        out.faults.append(current)

    for number, raw in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        line = raw.rstrip("\n")
        if not line.strip() or line.startswith("#"):
            continue
        if line.startswith("== "):
            close()
            current, finds, replaces = Fault(line[3:].strip(), number), [], []
        elif current is None and line.startswith("source:"):
            out.source = line.split(":", 1)[1].strip()
        elif current is None and line.startswith("tests:"):
            for word in line.split(":", 1)[1].split():
                head, _, filt = word.partition("=")
                backend, _, program = head.rpartition(".")
                if backend not in BACKENDS:
                    raise FormatError(f"{path}:{number}: unknown backend '{backend}'")
                out.tests.append(TestRun(program, backend, filt))
        elif current is not None and line.startswith("equivalent:"):
            current.equivalent = line.split(":", 1)[1].strip()
        elif current is not None and (line.startswith("- ") or line == "-"):
            finds.append(line[2:])
        elif current is not None and (line.startswith("+ ") or line == "+"):
            replaces.append(line[2:])
        else:
            raise FormatError(f"{path}:{number}: cannot read: {line}")
    close()
    if not out.source or not out.tests:
        raise FormatError(f"{path}: needs a 'source:' and a 'tests:' line")
    return out


def run(command, cwd, timeout=None, env=None, log=None):
    """The exit status (None when the time limit ended it) and the output. The
    command runs in a process group of its own, ended whole when it is late."""
    with subprocess.Popen(command, cwd=cwd, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, errors="replace", start_new_session=True) as process:
        try:
            text, _ = process.communicate(timeout=timeout)
            status = process.returncode
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            text, _ = process.communicate()
            status = None
        except BaseException:
            os.killpg(process.pid, signal.SIGKILL)
            raise
    if log is not None:
        log.write(f"$ {' '.join(command)}\n{text}\n")
        log.flush()
    return status, text


class Tree:
    """The copy of the sources and its build folder."""

    def __init__(self, work, jobs, log):
        self.work = work
        self.src = work / "src"
        # Inside the copy, where the worktree keeps its own: the same relative
        # paths let ccache reuse what the worktree's build compiled.
        self.build = self.src / "build"
        self.jobs = jobs
        self.log = log

    def sync(self):
        """Copies the files git knows (tracked and new ones not ignored); a file
        is written only when its text differs, so the build stays incremental."""
        listed = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=REPO,
                                check=True, stdout=subprocess.PIPE).stdout.split(b"\0")
        wanted = set()
        for name in filter(None, (n.decode() for n in listed)):
            source = REPO / name
            if not source.is_file():
                continue
            wanted.add(name)
            target = self.src / name
            data = source.read_bytes()
            if target.is_file() and target.read_bytes() == data:
                continue
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(data)
            shutil.copymode(source, target)
        for target in self.src.rglob("*"):
            name = str(target.relative_to(self.src))
            if name.split(os.sep)[0] != "build" and target.is_file() and name not in wanted:
                target.unlink()

    def configure(self):
        # A fault changes a file of a shared library: the test programs need
        # no new link (CMAKE_LINK_DEPENDS_NO_SHARED), only the library does.
        command = ["cmake", "-S", str(self.src), "-B", str(self.build), "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                   "-DARX_BUILD_TESTS=ON", "-DARX_BUILD_TOOLS=ON", "-DARX_BUILD_BENCH=OFF",
                   "-DARX_BUILD_EXAMPLES=OFF", "-DARX_SANITIZE=OFF", "-DCMAKE_LINK_DEPENDS_NO_SHARED=ON"]
        if shutil.which("ccache"):
            command.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
        status, text = run(command, self.work, log=self.log)
        if status != 0:
            print(text)
        return status == 0

    def make(self, targets):
        status, _ = run(["cmake", "--build", str(self.build), "-j", str(self.jobs), "--target", *targets],
                        self.work, log=self.log)
        return status == 0


def failed_tests(text):
    return sorted(set(re.findall(r"^\[  FAILED  \] ([\w./]+)(?:, where|\s*\(|$)", text, re.M)))


def run_tests(tree, tests, limit, log):
    """The first program that fails: (its name, the tests that failed in it,
    or "time limit"); None when all pass."""
    workdir = tree.build / "test-work"
    workdir.mkdir(exist_ok=True)
    for test in tests:
        env = dict(os.environ)
        env.pop("ARX_TEST_BACKEND", None)
        if BACKENDS[test.backend]:
            env["ARX_TEST_BACKEND"] = BACKENDS[test.backend]
        command = [str(tree.build / "bin" / test.program), "--gtest_fail_fast", "--gtest_brief=1"]
        if test.filter:
            command.append("--gtest_filter=" + test.filter)
        status, text = run(command, workdir, timeout=limit, env=env, log=log)
        if status is None:
            return test.name(), ["time limit"]
        if status != 0:
            return test.name(), failed_tests(text) or [f"exit status {status}"]
    return None


def targets_of(tests):
    return sorted({t.program for t in tests})


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("files", nargs="*", type=Path, help="fault files (default: all in faults/)")
    parser.add_argument("--only", default="", help="only faults whose title contains this text")
    parser.add_argument("--list", action="store_true", help="check the fault files and list them; run nothing")
    parser.add_argument("--work", type=Path, default=REPO / "build-mutation", help="the copy and its build")
    parser.add_argument("--jobs", type=int, default=2, help="parallel compile jobs")
    parser.add_argument("--time-limit", type=int, default=900, help="seconds each test program may run")
    parser.add_argument("--report", type=Path, help="also write the results to this file")
    args = parser.parse_args()

    files = [parse(p) for p in (args.files or sorted((HERE / "faults").glob("*.faults")))]
    if args.list:
        for f in files:
            text = (REPO / f.source).read_text(encoding="utf-8")
            active = [x for x in f.faults if not x.equivalent]
            print(f"{f.source}: {len(active)} faults, {len(f.faults) - len(active)} equivalent; "
                  f"tests {' '.join(t.name() for t in f.tests)}")
            for number, fault in enumerate(f.faults, 1):
                found = text.count(fault.find)
                if found != 1:
                    print(f"   #{number} {fault.title}: " + ("STALE" if found == 0 else f"AMBIGUOUS ({found})"))
        return 0

    # The server's suites need the throw-away cluster: run again inside it.
    if any(t.backend == "pg" for f in files for t in f.tests) and not os.environ.get("ARX_TEST_PG_URI"):
        os.execvp("bash", ["bash", str(REPO / "tools" / "with-pg-cluster.sh"), sys.executable, *sys.argv])

    # A stop by TERM still restores the file being mutated (the finally below).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    args.work.mkdir(parents=True, exist_ok=True)
    log = open(args.work / "mutation.log", "w", encoding="utf-8")
    tree = Tree(args.work, args.jobs, log)
    tree.sync()
    if not tree.configure():
        print("mutation: cannot configure the copy (see mutation.log)")
        return 1

    lines, totals, baselines = [], {}, {}

    def say(text):
        print(text, flush=True)
        lines.append(text)

    for f in files:
        source = tree.src / f.source
        if not source.is_file():
            say(f"{f.source}: no such source file")
            continue
        original = source.read_text(encoding="utf-8")
        targets = targets_of(f.tests)
        say(f"== {f.source} (tests: {' '.join(t.name() for t in f.tests)})")
        if not tree.make(targets):
            say("   the unchanged tree does not build; skipped (see mutation.log)")
            continue
        key = tuple(t.name() for t in f.tests)
        if key not in baselines:
            baselines[key] = run_tests(tree, f.tests, args.time_limit, log)
        baseline = baselines[key]
        if baseline is not None:
            say(f"   the unchanged tree fails {baseline[0]}: {', '.join(baseline[1])}; skipped")
            continue
        caught = planted = 0
        for number, fault in enumerate(f.faults, 1):
            if args.only and args.only not in fault.title:
                continue
            label = f"   #{number:<3} {fault.title}"
            found = original.count(fault.find)
            if fault.equivalent:
                say(f"{label}\n        equivalent: {fault.equivalent}")
                continue
            if found == 0:
                say(f"{label}\n        STALE: its text is no longer in the file")
                continue
            if found > 1:
                say(f"{label}\n        AMBIGUOUS: its text is found {found} times")
                continue
            started = time.monotonic()
            try:
                source.write_text(original.replace(fault.find, fault.replace), encoding="utf-8")
                built = tree.make(targets)
                outcome = run_tests(tree, f.tests, args.time_limit, log) if built else None
            finally:
                source.write_text(original, encoding="utf-8")
            seconds = int(time.monotonic() - started)
            if not built:
                say(f"{label}\n        DOES NOT COMPILE (not counted)")
                continue
            planted += 1
            if outcome is None:
                say(f"{label}\n        MISSED ({seconds} s)")
            else:
                caught += 1
                say(f"{label}\n        caught by {outcome[0]}: {', '.join(outcome[1][:3])} ({seconds} s)")
        totals[f.source] = (caught, planted)
        tree.make(targets)  # the restored file, so that the next source starts from the tree as it is

    say("\nshare caught per file:")
    all_caught = all_planted = 0
    for name, (caught, planted) in totals.items():
        share = f"{100 * caught / planted:.0f}%" if planted else "-"
        say(f"  {name}: {caught}/{planted} ({share})")
        all_caught += caught
        all_planted += planted
    if all_planted:
        say(f"  all: {all_caught}/{all_planted} ({100 * all_caught / all_planted:.0f}%)")
    if args.report:
        args.report.write_text("\n".join(lines) + "\n", encoding="utf-8")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except FormatError as error:
        print(f"mutation: {error}", file=sys.stderr)
        sys.exit(2)
