#!/usr/bin/env python3
"""Mutation testing of the program's code: how many small faults the fast
tests catch.

Makes one mutant at a time of the program files (calibration/, settings/,
app/), as mutants.py lists them: an operator swapped, a constant moved by a
little, a statement deleted. Each mutant
is built in a copy of the source tree (build/mutate/source, taken when the
script starts, so the work tree is never touched) in one build folder
(build/mutate/build, configured once, ccache used when it is installed), and
the fast tests that link the mutated file are run on it: the unit, window and
headless scenario tests (not Wine, not the fuzzers, not the slow fault and
cross-process tests). A mutant is

  killed          a test failed, crashed or ran past the time limit
  survived        every test passed
  not compilable  the build failed

Usage (from anywhere):
  scripts/mutate.py                      every mutant of the ten files
  scripts/mutate.py --files calibrate    only files whose path contains one
                                         of the words (comma-separated)
  scripts/mutate.py --list               list the mutants, build nothing
  scripts/mutate.py --resume             keep the results of the last run and
                                         do only the mutants it had not done
Options: --work DIR (default build/mutate), --timeout SECONDS per mutant's
tests (default 120), --jobs N for the build (default 2).

Writes DIR/results.jsonl (one line per mutant, as it goes) and DIR/report.txt
(every survivor with its line, then the counts), and prints the summary line
  mutate: N mutants, K killed, S survived, C not compilable; score K/(K+S) = P %
Runs the build and the tests under nice. Python 3 standard library only.
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import time

from mutants import ROOT, make_mutants, program_files

# Host-side tests that are slow and check the host, not the program.
SLOW_TESTS = {"robustness_second_user_test", "robustness_signals_test", "listen_cross_process_test",
              "sdl_window_test", "package_test", "fault_killed_writer_test",
              "fault_two_simulators_test", "fault_dead_listener_test"}
TEST_TARGETS_EXCLUDED = re.compile(r"_corpus$|_fuzzer$|_bench$")
# Cases that time the host on a file at its size limit, left out of the binaries run.
SLOW_CASES = "-OversizedSettings.AFileAtTheLimit*"

# ---- building and testing ---------------------------------------------------
def run(command, cwd, timeout=None, env=None):
    return subprocess.run(["nice", "-n", "10"] + command, cwd=cwd, env=env, timeout=timeout,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)


class Workspace:
    def __init__(self, work, jobs):
        self.work = work
        self.source = os.path.join(work, "source")
        self.build = os.path.join(work, "build")
        self.jobs = jobs
        self.env = dict(os.environ)
        if shutil.which("ccache"):
            self.env.update(CMAKE_CXX_COMPILER_LAUNCHER="ccache",
                            CMAKE_C_COMPILER_LAUNCHER="ccache", CCACHE_BASEDIR=work,
                            CCACHE_NOHASHDIR="1")

    def copy_source(self):
        """A copy of the work tree as it is now, without builds and history."""
        if os.path.isdir(self.source):
            shutil.rmtree(self.source)
        shutil.copytree(ROOT, self.source, symlinks=True,
                        ignore=shutil.ignore_patterns("build", ".git"))

    def configure(self):
        if os.path.exists(os.path.join(self.build, "CMakeCache.txt")):
            return
        # Warnings stay warnings: a mutant that only warns still counts.
        result = run(["cmake", "-S", self.source, "-B", self.build,
                      "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DQOZCAL_WERROR=OFF"],
                     self.work, env=self.env)
        if result.returncode != 0:
            sys.exit("mutate: cmake failed:\n" + result.stdout[-3000:])

    def make(self, targets):
        return run(["cmake", "--build", self.build, "-j", str(self.jobs), "--target"] + targets,
                   self.work, env=self.env)

    def test_binaries(self):
        """The GoogleTest binaries, by the files their test discovery leaves."""
        names = set()
        for entry in os.listdir(os.path.join(self.build, "tests")):
            match = re.fullmatch(r"(\w+)\[\d+\]_include\.cmake", entry)
            if match:
                names.add(match.group(1))
        names = sorted(n for n in names if n not in SLOW_TESTS
                       and not TEST_TARGETS_EXCLUDED.search(n))
        if not names:
            sys.exit("mutate: no test binaries found in " + self.build)
        return names

    def binary(self, name):
        return os.path.join(self.build, "tests", name)


def file_tests(space, path, binaries):
    """The test binaries that see PATH: those relinked when it changes, and
    those that run the qozcal program if that was relinked."""
    program = os.path.join(space.build, "bin", "qozcal")
    before = {n: os.path.getmtime(space.binary(n)) for n in binaries}
    program_before = os.path.getmtime(program)
    time.sleep(1.1)
    os.utime(os.path.join(space.source, path))
    result = space.make(binaries + ["qozcal"])
    if result.returncode != 0:
        sys.exit("mutate: the unmutated build failed:\n" + result.stdout[-3000:])
    relinked = [n for n in binaries if os.path.getmtime(space.binary(n)) != before[n]]
    if os.path.getmtime(program) != program_before:
        path_bytes = program.encode()
        for name in binaries:
            with open(space.binary(name), "rb") as image:
                if name not in relinked and path_bytes in image.read():
                    relinked.append(name)
    return relinked


def run_tests(space, binaries, timeout):
    """(passed, the first binary that failed or None)."""
    deadline = time.monotonic() + timeout
    for name in binaries:
        left = deadline - time.monotonic()
        if left <= 0:
            return False, name + " (time limit)"
        try:
            result = run([space.binary(name), "--gtest_brief=1", "--gtest_fail_fast",
                          "--gtest_filter=" + SLOW_CASES],
                         os.path.dirname(space.binary(name)), timeout=left, env=space.env)
        except subprocess.TimeoutExpired:
            return False, name + " (time limit)"
        if result.returncode != 0:
            return False, name
    return True, None


def apply(space, mutant, original):
    lines = list(original)
    for index, text in mutant["edit"]:
        lines[index] = text
    with open(os.path.join(space.source, mutant["file"]), "w", encoding="utf-8") as out:
        out.write("\n".join(lines))


def summary(results):
    killed = sum(r["status"] == "killed" for r in results)
    survived = sum(r["status"] == "survived" for r in results)
    broken = sum(r["status"] == "not compilable" for r in results)
    score = 100.0 * killed / (killed + survived) if killed + survived else 0.0
    return (f"mutate: {len(results)} mutants, {killed} killed, {survived} survived, "
            f"{broken} not compilable; score {killed}/{killed + survived} = {score:.1f} %")


def write_report(work, results, total):
    with open(os.path.join(work, "report.txt"), "w", encoding="utf-8") as report:
        by_file = {}
        for r in results:
            by_file.setdefault(r["file"], []).append(r)
        for path, rows in by_file.items():
            report.write(f"{path}: {summary(rows)[8:]}\n")
        report.write("\nSurvivors:\n")
        for r in results:
            if r["status"] == "survived":
                report.write(f"  {r['file']}:{r['line']} {r['kind']}: {r['was']}  ->  "
                             f"{r['now'] or '(deleted)'}\n")
        report.write(f"\n{len(results)} of {total} mutants run\n{summary(results)}\n")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--files", help="comma-separated words; files whose path has one")
    parser.add_argument("--work", default=os.path.join(ROOT, "build", "mutate"))
    parser.add_argument("--timeout", type=float, default=120)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--resume", action="store_true")
    args = parser.parse_args(argv)

    files = program_files()
    if args.files:
        words = [w for w in args.files.split(",") if w]
        # In the order of the words, so that a run can do some files first.
        files = sorted((f for f in files if any(w in f for w in words)),
                       key=lambda f: min(i for i, w in enumerate(words) if w in f))
    mutants = [m for f in files for m in make_mutants(f)]
    if args.list:
        for m in mutants:
            print(f"{m['id']} line {m['line']} {m['kind']}: {m['was']} -> {m['now'] or '(deleted)'}")
        print(f"{len(mutants)} mutants")
        return 0

    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    results_path = os.path.join(work, "results.jsonl")
    done = {}
    if args.resume and os.path.exists(results_path):
        with open(results_path, encoding="utf-8") as old:
            for line in old:
                row = json.loads(line)
                done[row["id"]] = row
    space = Workspace(work, args.jobs)
    if not (args.resume and os.path.isdir(space.source)):
        space.copy_source()
    space.configure()
    binaries = space.test_binaries()
    result = space.make(binaries + ["qozcal"])
    if result.returncode != 0:
        sys.exit("mutate: the unmutated build failed:\n" + result.stdout[-3000:])

    results = [done[m["id"]] for m in mutants if m["id"] in done]
    kills = {}
    with open(results_path, "a" if args.resume else "w", encoding="utf-8") as log:
        for path in files:
            todo = [m for m in mutants if m["file"] == path and m["id"] not in done]
            if not todo:
                continue
            tests = file_tests(space, path, binaries)
            if not tests:
                sys.exit(f"mutate: no test sees {path}")
            print(f"{path}: {len(todo)} mutants, tests {' '.join(tests)}", flush=True)
            passed, failed = run_tests(space, tests, args.timeout * 3)
            if not passed:
                sys.exit(f"mutate: {failed} fails on the unmutated {path}")
            with open(os.path.join(space.source, path), encoding="utf-8") as source:
                original = source.read().split("\n")
            try:
                for mutant in todo:
                    apply(space, mutant, original)
                    start = time.monotonic()
                    build = space.make(tests + ["qozcal"])
                    if build.returncode != 0:
                        status, by = "not compilable", None
                    else:
                        tests.sort(key=lambda n: -kills.get(n, 0))
                        passed, by = run_tests(space, tests, args.timeout)
                        status = "survived" if passed else "killed"
                        if by:
                            kills[by.split()[0]] = kills.get(by.split()[0], 0) + 1
                    row = {k: mutant[k] for k in ("id", "file", "line", "kind", "was", "now")}
                    row.update(status=status, by=by, seconds=round(time.monotonic() - start, 1))
                    results.append(row)
                    log.write(json.dumps(row, ensure_ascii=False) + "\n")
                    log.flush()
                    print(f"{status:15} {mutant['id']} line {mutant['line']}: {mutant['now'] or '(deleted) ' + mutant['was']}",
                          flush=True)
                    write_report(work, results, len(mutants))
            finally:
                with open(os.path.join(space.source, path), "w", encoding="utf-8") as out:
                    out.write("\n".join(original))
    write_report(work, results, len(mutants))
    print(summary(results))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
