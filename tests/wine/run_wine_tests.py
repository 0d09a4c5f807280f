#!/usr/bin/env python3
"""End-to-end check of one Windows build under Wine, and its equivalence with
the headless simulator.

Replays pen scripts with xdotool against qozcal.exe (started under
qozcal-dbgcap.exe, with the Windows qozcal-listen.exe beside it) on Xvfb, in a
fresh WINEPREFIX, and checks what a user and the touch driver see: the window,
every debug line to the byte, the settings, the events, the screen. The same
scripts run through the simulator first; the debug lines and the four
settings must be identical on both. An i686 build runs in a 32-bit prefix,
which cannot start anything else; an x86_64 build in a 64-bit one.

Exit status: 0 all passed, 1 a check failed (Wine failing to start included),
2 bad usage or a script that breaks the replay rules, 77 (CTest's skip code)
only for an i686 build on a machine that cannot execute 32-bit programs.
"""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import pen_replay  # noqa: E402
import wine_checks  # noqa: E402
from wine_session import (CannotRun32Bit, SessionError, WineSession, XServer,  # noqa: E402
                          find_loader, not_checked)

# --machine: the PE machine field of its executables and the WINEARCH of the
# prefix that runs them.
MACHINES = {"i686": (0x014C, "win32"), "x86_64": (0x8664, "win64")}

# The runs, in order, on one prefix: the first starts on a fresh registry.
TALL_SCRIPTS = ["examples/demo.pen", "tests/wine/known-fit.pen", "tests/wine/sub-pixel-fit.pen",
                "examples/calibration.pen",
                "examples/key-restart.pen", "examples/erase.pen", "examples/pad.pen",
                "examples/exit.pen", "tests/scenarios/exit-button.pen"]
WIDE_SCRIPTS = ["tests/wine/wide-screen.pen"]
# Through the coredll stand-in, the platform calls of this calibration are
# recorded with every argument and must be the host's own (device_calls_test).
RECORDED_CALLS = {"examples/calibration.pen": "tests/wine/calibration-calls.txt"}
TALL_SCREEN = (240, 320)
WIDE_SCREEN = (320, 240)


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--windows-dir", required=True,
                        help="the Windows build (qozcal.exe, tools, the gaps probe)")
    parser.add_argument("--machine", required=True, choices=sorted(MACHINES),
                        help="the processor the build is for; each executable is checked")
    parser.add_argument("--simulator", required=True, help="the host qozcal executable")
    parser.add_argument("--work-dir", help="keep everything here instead of a temp folder")
    parser.add_argument("--device-dir", help="the device build: its qozcal.exe runs in place of "
                        "the desktop's, through the desktop build's coredll.dll stand-in")
    parser.add_argument("--wine-loader", help="the Wine loader for the build's prefix "
                        "(default: Debian's, /usr/lib/wine/wine or wine64)")
    args = parser.parse_args(argv)
    for name in ("source_dir", "windows_dir", "device_dir", "simulator", "work_dir"):
        if getattr(args, name) is not None:
            setattr(args, name, os.path.abspath(getattr(args, name)))
    return args


class Builds:
    """The desktop build's programs; with device_dir, the device build's
    qozcal.exe in place of the desktop's, run beside the desktop build's
    coredll.dll stand-in."""

    def __init__(self, windows_dir, device_dir=None):
        bin_dir = os.path.join(windows_dir, "bin")
        self.qozcal = os.path.join(device_dir or windows_dir, "bin", "qozcal.exe")
        self.listen = os.path.join(bin_dir, "qozcal-listen.exe")
        self.dbgcap = os.path.join(bin_dir, "qozcal-dbgcap.exe")
        self.probe = os.path.join(bin_dir, "qozcal-gaps-probe.exe")
        self.standin = os.path.join(bin_dir, "coredll.dll") if device_dir else None
        self.programs = tuple(p for p in (self.qozcal, self.listen, self.dbgcap, self.probe,
                                          self.standin) if p)

    def place_device_program(self, folder):
        """Copies the device's qozcal.exe and the stand-in into folder, where
        the executable finds its coredll.dll, and runs it from there."""
        if self.standin is None:
            return
        os.makedirs(folder)
        for program in (self.qozcal, self.standin):
            shutil.copy(program, folder)
        self.qozcal = os.path.join(folder, "qozcal.exe")

    def missing(self):
        return [p for p in self.programs if not os.path.isfile(p)]

    def built_for_another_machine(self, machine):
        """The executables whose PE header names another processor."""
        return [p for p in self.programs if pe_machine(p) != MACHINES[machine][0]]


def pe_machine(path):
    """The machine field of a PE executable's header; None if it is none."""
    with open(path, "rb") as image:
        header = image.read(4096)
    if len(header) < 0x40 or header[:2] != b"MZ":
        return None
    offset = struct.unpack_from("<I", header, 0x3C)[0]
    if offset + 6 > len(header) or header[offset:offset + 4] != b"PE\0\0":
        return None
    return struct.unpack_from("<H", header, offset + 4)[0]


def load_replays(source_dir, simulator):
    """{script: Replay} for every script, checked against the replay rules."""
    replays = {}
    for scripts, screen in ((TALL_SCRIPTS, TALL_SCREEN), (WIDE_SCRIPTS, WIDE_SCREEN)):
        for script in scripts:
            replays[script] = pen_replay.load_replay(os.path.join(source_dir, script), *screen,
                                                     simulator)
    return replays


def run_simulator(simulator, source_dir, work_dir):
    """Runs every script through the headless simulator, one registry for all,
    in the same order as the Wine runs. {script: SimulatorRun}."""
    registry = os.path.join(work_dir, "registry.reg")
    env = dict(os.environ)
    env["QOZCAL_EVENT_NAMESPACE"] = f"wine-equivalence-{os.getpid()}"
    runs = {}
    for scripts, screen in ((TALL_SCRIPTS, TALL_SCREEN), (WIDE_SCRIPTS, WIDE_SCREEN)):
        for script in scripts:
            run_dir = os.path.join(work_dir, run_name(script))
            os.makedirs(run_dir)
            debug_log = os.path.join(run_dir, "debug.txt")
            result = subprocess.run(
                [simulator, "--headless", "--virtual-time", "--screen", f"{screen[0]}x{screen[1]}",
                 "--registry", registry, "--debug-log", debug_log,
                 "--script", os.path.join(source_dir, script)],
                cwd=run_dir, env=env, capture_output=True, timeout=120)
            if result.returncode != 0:
                raise SessionError(f"the simulator failed on {script} with status "
                                   f"{result.returncode}: {result.stderr.decode().strip()}")
            debug = b""
            if os.path.exists(debug_log):
                with open(debug_log, "rb") as log:
                    debug = log.read()
            runs[script] = wine_checks.SimulatorRun(run_dir, debug,
                                                    wine_checks.registry_file_settings(registry))
    return runs


def run_name(script):
    return os.path.splitext(os.path.basename(script))[0]


def hangul_font_family():
    """The family of the font the simulator draws captions with: fontconfig's
    best Korean sans-serif face. None when no font has Hangul."""
    found = subprocess.run(["fc-match", "--format=%{family[0]}", "sans-serif:lang=ko"],
                           capture_output=True, timeout=60)
    family = found.stdout.decode("utf-8", "replace").strip()
    korean = subprocess.run(["fc-list", f"{family}:lang=ko", "family"], capture_output=True,
                            timeout=60)
    return family if family and korean.stdout.strip() else None


def run_session(builds, wine_arch, loader, work_dir, replays, simulated, report, font_family,
                source_dir):
    prefix = os.path.join(work_dir, "prefix")
    log_path = os.path.join(work_dir, "wine.log")
    first = True
    for scripts, screen in ((TALL_SCRIPTS, TALL_SCREEN), (WIDE_SCRIPTS, WIDE_SCREEN)):
        xserver = XServer(screen[0], screen[1], os.path.join(work_dir, "xvfb.log"))
        try:
            session = WineSession(prefix, xserver, log_path, wine_arch, loader)
            if first:
                print(f"booting a fresh WINEPREFIX in {prefix} ...", flush=True)
                session.boot()
                session.use_system_font(font_family)
                wine_checks.check_gaps_probe(session, builds, work_dir, report)
            for script in scripts:
                print(f"replaying {script} on a {screen[0]}x{screen[1]} screen ...", flush=True)
                wine_dir = os.path.join(work_dir, "wine", run_name(script))
                os.makedirs(wine_dir)
                recorded = RECORDED_CALLS.get(script) if builds.standin else None
                runner = wine_checks.ScriptRun(
                    session, builds, script, replays[script], simulated[script], wine_dir, first,
                    report, recorded and os.path.join(source_dir, recorded))
                runner.run()
                first = False
            session.stop_server()
        finally:
            xserver.stop()


def main(argv):
    args = parse_arguments(argv)
    builds = Builds(args.windows_dir, args.device_dir)
    missing = builds.missing()
    if missing:
        print(f"the build in {args.windows_dir} is missing " + ", ".join(missing) +
              "; build it with: cmake --preset win32 (or win64) && cmake --build --preset ...")
        return 1
    foreign = builds.built_for_another_machine(args.machine)
    if foreign:
        print(f"not built for {args.machine}: " + ", ".join(foreign))
        return 1
    wine_arch = MACHINES[args.machine][1]
    try:
        replays = load_replays(args.source_dir, args.simulator)
    except pen_replay.ScriptError as error:
        print(f"a script breaks the replay rules: {error}")
        return 2
    for tool in ("Xvfb", "xdotool", "import", "convert", "identify", "xwininfo", "fc-match"):
        if shutil.which(tool) is None:
            print(f"{tool} is not installed (packages: xvfb xdotool imagemagick x11-utils "
                  "fontconfig)")
            return 1
    font_family = hangul_font_family()
    if font_family is None:
        print("no font with Hangul glyphs for the captions (package: fonts-nanum)")
        return 1
    try:
        loader = find_loader(wine_arch, args.wine_loader)
    except CannotRun32Bit as error:
        build = "device build, through the coredll stand-in," if args.device_dir else "Windows build"
        return not_checked(f"the {args.machine} {build} not run under Wine",
                           f"this machine cannot execute 32-bit programs ({error})")
    except SessionError as error:
        print(f"Wine cannot be used: {error}")
        return 1

    work_dir = args.work_dir or tempfile.mkdtemp(prefix="qozcal-wine-")
    os.makedirs(work_dir, exist_ok=True)
    report = wine_checks.Report()
    try:
        builds.place_device_program(os.path.join(work_dir, "device"))
        simulated = run_simulator(args.simulator, args.source_dir,
                                  os.path.join(work_dir, "simulator"))
        run_session(builds, wine_arch, loader, work_dir, replays, simulated, report,
                    font_family, args.source_dir)
    except (SessionError, subprocess.TimeoutExpired) as error:
        report.fail(f"the run could not go on: {error}")
    finally:
        # The prefix is large and of no use afterwards.
        shutil.rmtree(os.path.join(work_dir, "prefix"), ignore_errors=True)
    status = report.summary()
    if status == 0 and args.work_dir is None:
        shutil.rmtree(work_dir, ignore_errors=True)
    else:
        print(f"the debug lines, settings and screenshots of the run are in {work_dir}")
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
