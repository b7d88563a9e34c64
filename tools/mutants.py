#!/usr/bin/env python3
"""Measures what the test suite catches: applies each small fault of a list to a copy
of the source, rebuilds that copy incrementally and runs the tests, fastest first,
until one fails.

    tools/mutants.py [--list FILE] [--tree DIR] [--jobs N] [--no-baseline] [NAME...]

The working tree is never changed: the faults go into DIR/src (a copy kept in step
with the working tree, default build-mutants/), which is built in DIR/build. NAME
words keep only the mutants whose name holds one of them.

The list holds blocks like this one; the text to find must occur exactly once:

    [a second file of the same name overwrites the first output]
    file: src/core/conversion/OutputNaming.cpp
    find: return !QFileInfo::exists(candidate) && !taken(candidate);
    replace: return !taken(candidate);

Only the tests that can see a mutant run: the unchanged suite is run once, one test at
a time, noting which programs and libraries of the build each test reads (by their
access times); a mutant's tests are those that read a file its build changed. Tests
whose source names the changed file run first, the others fastest first.

Per mutant it prints "killed" (with the test that caught it), "survived", "stale" (the
text is not in the file, or more than once) or "broken" (the fault does not compile),
then the score. The exit status is 0 unless the unchanged suite fails or a mutant is
stale or broken.
"""

import argparse
import filecmp
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from dataclasses import dataclass

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


@dataclass
class Mutant:
    name: str
    file: str = ""
    find: str = ""
    replace: str = ""
    line: int = 0


def read_list(path):
    mutants, current = [], None
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            if line.startswith("[") and line.endswith("]"):
                current = Mutant(line[1:-1].strip(), line=number)
                mutants.append(current)
                continue
            key, sep, value = line.partition(": ")
            if current is None or not sep or key not in ("file", "find", "replace"):
                sys.exit(f"{path}:{number}: expected [name], file:, find: or replace:")
            setattr(current, key, value)
    for m in mutants:
        if not m.file or not m.find:
            sys.exit(f"{path}:{m.line}: [{m.name}] needs file: and find:")
    return mutants


def tracked_files():
    out = subprocess.run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                         cwd=ROOT, check=True, capture_output=True).stdout
    return [p for p in out.decode().split("\0") if p and os.path.lexists(os.path.join(ROOT, p))]


def sync_copy(copy):
    """Makes copy hold the working tree's files; unchanged files keep their times."""
    wanted = set(tracked_files())
    for rel in wanted:
        src, dst = os.path.join(ROOT, rel), os.path.join(copy, rel)
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        if os.path.islink(src):
            if not os.path.islink(dst) or os.readlink(dst) != os.readlink(src):
                if os.path.lexists(dst):
                    os.remove(dst)
                os.symlink(os.readlink(src), dst)
        elif not os.path.isfile(dst) or os.path.islink(dst) or not filecmp.cmp(src, dst, shallow=False):
            if os.path.lexists(dst):
                os.remove(dst)
            shutil.copy2(src, dst)
            os.utime(dst)  # newer than what was built from the old content
    for folder, _, files in os.walk(copy):
        for name in files:
            rel = os.path.relpath(os.path.join(folder, name), copy)
            if rel not in wanted:
                os.remove(os.path.join(folder, name))


def run_logged(args, log, **kw):
    with open(log, "w") as out:
        return subprocess.run(args, stdout=out, stderr=subprocess.STDOUT, **kw).returncode


def build(build_dir, jobs, log):
    return run_logged(["cmake", "--build", build_dir, f"-j{jobs}"], log) == 0


def built_files(build_dir):
    """The programs and libraries of the build: what a mutant's build can change."""
    found = {}
    for folder, dirs, files in os.walk(build_dir):
        dirs[:] = [d for d in dirs if not d.endswith("_autogen") and d != "CMakeFiles" and d != "Testing"]
        for name in files:
            path = os.path.join(folder, name)
            if os.path.islink(path) or not (name.endswith(".so") or os.access(path, os.X_OK)):
                continue
            st = os.stat(path)
            found[os.path.relpath(path, build_dir)] = (st.st_mtime_ns, st.st_size)
    return found


def mark_unread(build_dir, files):
    # With relatime an access time older than the change time is renewed by the next read.
    for rel, (mtime, _) in files.items():
        os.utime(os.path.join(build_dir, rel), ns=(mtime - 10**9, mtime))


def read_since_marked(build_dir, files):
    read = set()
    for rel in files:
        st = os.stat(os.path.join(build_dir, rel))
        if st.st_atime_ns > st.st_mtime_ns - 10**9:
            read.add(rel)
    return read


def test_sources(copy):
    sources = {}
    for folder, _, files in os.walk(os.path.join(copy, "tests")):
        for name in files:
            if name.startswith("test_") and name.endswith(".cpp"):
                with open(os.path.join(folder, name), encoding="utf-8", errors="replace") as f:
                    sources[name[:-4]] = f.read()
    return sources


def named_by(mutant, source):
    """Whether a test's source names the mutated file, or runs the program it is built into."""
    stem = os.path.splitext(os.path.basename(mutant.file))[0]
    if mutant.file.startswith("engine/"):
        return "EnginePath()" in source or "MakeClip" in source
    if mutant.file.startswith("previewlib/"):
        return "preview" in source.lower()
    return stem in source


def test_names(build_dir):
    out = subprocess.run(["ctest", "--test-dir", build_dir, "-N"], check=True, capture_output=True, text=True).stdout
    return re.findall(r"Test\s+#\d+: (\S+)", out)


class TestRunner:
    """Runs single CTest tests, a few at a time, and stops at the first failure."""

    def __init__(self, build_dir, parallel, logs):
        self.build_dir, self.parallel, self.logs = build_dir, parallel, logs
        self.running = {}

    def start(self, name):
        log = open(os.path.join(self.logs, name + ".log"), "w")
        p = subprocess.Popen(["ctest", "--test-dir", self.build_dir, "-R", f"^{re.escape(name)}$", "--output-on-failure"],
                             stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
        self.running[p] = (name, log, time.monotonic())

    def stop_all(self):
        for p, (_, log, _) in list(self.running.items()):
            try:
                os.killpg(p.pid, signal.SIGKILL)  # the test and the engines it started
            except ProcessLookupError:
                pass
            p.wait()
            log.close()
        self.running.clear()

    def run(self, names):
        """Returns (first failing test or None, {test: seconds})."""
        queue, seconds = list(names), {}
        try:
            while queue or self.running:
                while queue and len(self.running) < self.parallel:
                    self.start(queue.pop(0))
                time.sleep(0.2)
                for p, (name, log, began) in list(self.running.items()):
                    if p.poll() is None:
                        continue
                    log.close()
                    del self.running[p]
                    seconds[name] = time.monotonic() - began
                    if p.returncode != 0:
                        return name, seconds
            return None, seconds
        finally:
            self.stop_all()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--list", default=os.path.join(ROOT, "tests", "mutants.txt"))
    parser.add_argument("--tree", default=os.path.join(ROOT, "build-mutants"))
    parser.add_argument("--jobs", type=int, default=2, help="build jobs and tests run at once")
    parser.add_argument("--no-baseline", action="store_true",
                        help="trust the last unchanged run's test order instead of running the suite first")
    parser.add_argument("names", nargs="*")
    args = parser.parse_args()

    mutants = read_list(args.list)
    if args.names:
        mutants = [m for m in mutants if any(n in m.name for n in args.names)]
    copy, build_dir = os.path.join(args.tree, "src"), os.path.join(args.tree, "build")
    logs = os.path.join(args.tree, "logs")
    os.makedirs(logs, exist_ok=True)

    print(f"Copying the working tree to {copy}", flush=True)
    sync_copy(copy)
    if not os.path.exists(os.path.join(build_dir, "build.ninja")):
        flags = ["-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo"]
        if shutil.which("ccache"):
            flags += ["-DCMAKE_C_COMPILER_LAUNCHER=ccache", "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"]
        if run_logged(["cmake", "-S", copy, "-B", build_dir] + flags, os.path.join(logs, "configure.log")) != 0:
            sys.exit(f"cmake failed: see {logs}/configure.log")
    os.environ.setdefault("CCACHE_BASEDIR", ROOT)
    print("Building the unchanged copy", flush=True)
    if not build(build_dir, args.jobs, os.path.join(logs, "build.log")):
        sys.exit(f"the unchanged copy does not build: see {logs}/build.log")

    baseline_file = os.path.join(args.tree, "baseline.json")
    names = test_names(build_dir)
    runner = TestRunner(build_dir, args.jobs, logs)
    if args.no_baseline and os.path.exists(baseline_file):
        with open(baseline_file) as f:
            baseline = json.load(f)
    else:
        print(f"Running the unchanged suite one test at a time ({len(names)} tests)", flush=True)
        baseline = {"seconds": {}, "reads": {}}
        single = TestRunner(build_dir, 1, logs)
        files = built_files(build_dir)
        for name in names:
            mark_unread(build_dir, files)
            failed, seconds = single.run([name])
            if failed:
                sys.exit(f"the unchanged suite fails at {failed}: see {logs}/{failed}.log; no mutant can be judged")
            baseline["seconds"][name] = seconds[name]
            baseline["reads"][name] = sorted(read_since_marked(build_dir, files))
        with open(baseline_file, "w") as f:
            json.dump(baseline, f, indent=1)
        print(f"Unchanged suite passed in {sum(baseline['seconds'].values()):.0f} s", flush=True)
    seconds = baseline["seconds"]
    reads = {n: set(r) for n, r in baseline["reads"].items()}
    # A test that read nothing, not even its own program, means access times are not kept here.
    tracked = all(reads.get(n) for n in names)
    if not tracked:
        print("Access times are not kept on this file system: every mutant runs every test", flush=True)
    sources = test_sources(copy)

    # A mutant in the copy is put back even when the run is interrupted.
    restore = {}

    def put_back():
        for path, text in restore.items():
            with open(path, "w", encoding="utf-8", newline="") as f:
                f.write(text)
        restore.clear()

    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    counts = {"killed": 0, "survived": 0, "stale": 0, "broken": 0}
    survivors, results = [], []
    try:
        for i, m in enumerate(mutants, 1):
            path = os.path.join(copy, m.file)
            text = open(path, encoding="utf-8", newline="").read() if os.path.isfile(path) else ""
            found = text.count(m.find)
            began = time.monotonic()
            if found != 1:
                verdict, detail = "stale", f"{m.file}: the text is found {found} times"
            else:
                restore[path] = text
                with open(path, "w", encoding="utf-8", newline="") as f:
                    f.write(text.replace(m.find, m.replace))
                before = built_files(build_dir)
                if not build(build_dir, args.jobs, os.path.join(logs, f"mutant-{i}-build.log")):
                    verdict, detail = "broken", f"does not compile: see {logs}/mutant-{i}-build.log"
                else:
                    after = built_files(build_dir)
                    changed = {f for f in after if before.get(f) != after[f]}
                    chosen = [n for n in names if not tracked or reads.get(n, set()) & changed]
                    chosen.sort(key=lambda n: (not named_by(m, sources.get(n, "")), seconds.get(n, 1e9)))
                    failed, _ = runner.run(chosen)
                    if failed:
                        verdict, detail = "killed", f"by {failed}"
                    else:
                        verdict, detail = "survived", f"{len(chosen)} tests ran"
                put_back()
                # Built back at once, so that the next mutant's build changes only its own files.
                build(build_dir, args.jobs, os.path.join(logs, f"mutant-{i}-rebuild.log"))
            counts[verdict] += 1
            line = f"{verdict:9}{m.name}" + (f"  ({detail}, {time.monotonic() - began:.0f} s)" if detail else "")
            results.append(line)
            if verdict == "survived":
                survivors.append(m)
            print(f"[{i}/{len(mutants)}] {line}", flush=True)
    finally:
        put_back()
        runner.stop_all()

    judged = counts["killed"] + counts["survived"]
    score = f"{counts['killed']} of {judged} killed" + (f" ({100.0 * counts['killed'] / judged:.0f}%)" if judged else "")
    summary = f"score: {score}; {counts['stale']} stale, {counts['broken']} broken"
    with open(os.path.join(args.tree, "results.txt"), "w") as f:
        f.write("\n".join(results + [summary]) + "\n")
    print(summary)
    for m in survivors:
        print(f"  survived: {m.name} ({m.file}:{m.find.strip()[:60]})")
    return 1 if counts["stale"] or counts["broken"] else 0


if __name__ == "__main__":
    sys.exit(main())
