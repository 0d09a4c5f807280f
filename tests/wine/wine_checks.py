"""The checks of one Wine run: replaying a script against qozcal.exe and
comparing what it did with the simulator's run of the same script."""

import collections
import difflib
import os
import re
import subprocess
import time

import caption_match
import pen_replay
from wine_session import Screen, SessionError, wait_for

WINDOW_NAME = "펜입력"
SETTING_NAMES = ("ScaleX", "ScaleY", "OffsetX", "OffsetY")
SEED_LINES = (b"AddQOZRegistryItem : Successed - [2] [ScaleX] - [1]\r\n"
              b"AddQOZRegistryItem : Successed - [2] [ScaleY] - [1]\r\n"
              b"AddQOZRegistryItem : Successed - [2] [OffsetX] - [0]\r\n"
              b"AddQOZRegistryItem : Successed - [2] [OffsetY] - [0]\r\n")
COMPLETION_LINE = b"Completes Calibration ..........r\n"
SETTINGS_TEXT = re.compile(r"-?[0-9]+\.[0-9]{5}")

# Debug lines and settings known in advance, whatever the simulator says: a
# first start and a calibration with taps exactly at the 240 x 320 targets,
# and a calibration of known samples. NEAR_ZERO: within 0.00001 of zero.
NEAR_ZERO = "within 0.00001 of 0"
EXPECTED_DEBUG = {
    "examples/demo.pen": SEED_LINES +
    b"Calibrate1Dimension : Scale = [99 99] Offset = [0 0]\r\n" + COMPLETION_LINE,
    "tests/wine/known-fit.pen":
    b"Calibrate1Dimension : Scale = [112 106] Offset = [-4216 -3413]\r\n" + COMPLETION_LINE,
    "tests/wine/sub-pixel-fit.pen":
    b"Calibrate1Dimension : Scale = [38399 106] Offset = [-16373829 -3413]\r\n" + COMPLETION_LINE,
}
EXPECTED_SETTINGS = {
    "examples/demo.pen": ("0.99999", "1.00000", NEAR_ZERO, NEAR_ZERO),
    "tests/wine/known-fit.pen": ("1.12940", "1.06667", "-42.16471", "-34.13334"),
    "tests/wine/sub-pixel-fit.pen": ("383.99693", "1.06667", "-163738.29688", "-34.13334"),
}

# Pixels of the button strip (every button's rectangle together).
BUTTON_STRIP = (pen_replay.button_rect("erase")[0], pen_replay.CLIENT_TOP + 1,
                pen_replay.CLIENT_RIGHT, pen_replay.CLIENT_TOP + 31)

# The buttons whose captions are Hangul, compared with the simulator's.
HANGUL_BUTTONS = ("erase", "exit")

SimulatorRun = collections.namedtuple("SimulatorRun", "run_dir debug settings")


class Report:
    def __init__(self):
        self.failures = []
        self.checks = 0

    def check(self, passed, message):
        self.checks += 1
        if not passed:
            self.fail(message)
        return passed

    def fail(self, message):
        self.failures.append(message)
        print("FAIL: " + message, flush=True)

    def summary(self):
        if self.failures:
            print(f"{len(self.failures)} of {self.checks} checks failed")
            return 1
        print(f"all {self.checks} checks passed")
        return 0


def registry_file_settings(path):
    """The four settings in the simulator's registry file: {lower name: text}."""
    settings = {}
    in_key = False
    with open(path, encoding="utf-8") as registry:
        for line in registry:
            line = line.strip()
            if line.startswith("["):
                in_key = line.lower() == r"[hkey_current_user\software\qozserial]"
                continue
            match = re.fullmatch(r'"((?:[^"\\]|\\.)*)"="((?:[^"\\]|\\.)*)"', line)
            if in_key and match:
                settings[match.group(1).lower()] = match.group(2).replace('\\"', '"').replace(
                    "\\\\", "\\")
    return {name.lower(): settings.get(name.lower()) for name in SETTING_NAMES}


def wine_settings(session, cwd):
    """The four settings as `wine reg query` shows them: {lower name: text}."""
    status, output = session.run(["reg", "query", r"HKCU\Software\QozSerial"], cwd)
    settings = {}
    if status == 0:
        for line in output.splitlines():
            fields = line.strip().split("    ")
            if len(fields) >= 2 and fields[1] == "REG_SZ":
                settings[fields[0].lower()] = fields[2] if len(fields) > 2 else ""
    return {name.lower(): settings.get(name.lower()) for name in SETTING_NAMES}


def stored_settings(session, builds, cwd):
    """The four settings as the registry holds them, read by the gaps probe:
    {lower name: (type, size in bytes, [UTF-16 units])}."""
    status, output = session.run([builds.probe, "--settings"], cwd)
    stored = {}
    for line in output.splitlines() if status == 0 else []:
        fields = line.split()
        if len(fields) >= 3:
            stored[fields[0].lower()] = (int(fields[1]), int(fields[2]),
                                         [int(unit, 16) for unit in fields[3:]])
    return stored


def show_bytes(data):
    return "\n".join("    " + repr(line) for line in data.splitlines(keepends=True)) or "    (none)"


def show_settings(settings):
    return ", ".join(f"{name}={settings[name.lower()]}" for name in SETTING_NAMES)


def setting_is(text, expected):
    if expected != NEAR_ZERO:
        return text == expected
    return text is not None and SETTINGS_TEXT.fullmatch(text) is not None and \
        abs(float(text)) <= 0.00001


def read_file(path):
    try:
        with open(path, "rb") as data:
            return data.read()
    except FileNotFoundError:
        return b""


def check_gaps_probe(session, builds, work_dir, report):
    """The desktop gaps, and qozcal-dbgcap's capture, arguments and exit code."""
    probe_dir = os.path.join(work_dir, "wine", "probe")
    os.makedirs(probe_dir)
    status, output = session.run([builds.dbgcap, "probe.txt", builds.probe], probe_dir)
    report.check(status == 0 and "not ok" not in output and "0 failed" in output,
                 f"the desktop gaps probe (status {status}):\n{output}")
    expected = (b"Probe : [2] [ScaleX] - [1.12940]\r\n" b"Probe : a lone line feed\n"
                b"Probe : " + b"x" * 2000 + b"\r\n")
    captured = read_file(os.path.join(probe_dir, "probe.txt"))
    report.check(captured == expected, "qozcal-dbgcap captured the probe's debug lines as:\n" +
                 show_bytes(captured) + "\n  instead of:\n" + show_bytes(expected))

    arguments = ["a b", 'c"d', "e\\", "", 'f\\\\"g', "h\\\\"]
    status, _ = session.run([builds.dbgcap, "args.txt", builds.probe, "--debug-args"] +
                            arguments, probe_dir)
    report.check(status == 3, f"qozcal-dbgcap exited with {status}, not the program's 3")
    captured = read_file(os.path.join(probe_dir, "args.txt"))
    expected = "".join(a + "\n" for a in arguments).encode()
    report.check(captured == expected, "qozcal-dbgcap passed the arguments on as:\n" +
                 show_bytes(captured) + "\n  instead of:\n" + show_bytes(expected))


def has_ink(screen, rect):
    left, top, right, bottom = rect
    return any(not screen.is_white(x, y) for y in range(top, min(bottom, screen.height))
               for x in range(left, min(right, screen.width)))


def dark_near(screen, x, y):
    """Whether a pixel within one step of (x, y) is dark."""
    return any(screen.is_dark(x + dx, y + dy) for dy in (-1, 0, 1) for dx in (-1, 0, 1)
               if 0 <= x + dx < screen.width and 0 <= y + dy < screen.height)


def compare_shot(wine, simulated, calibrating, buttons_shown, hover_drawn, focus):
    """Differences between Wine's screen and the simulator's shot; [] if none.

    Shown buttons must be there, drawn as Windows draws them; their Hangul
    captions must be the simulator's to within what two renderings of one
    font differ by (caption_match), except on the button with the keyboard
    focus, where Windows draws a dotted focus frame around the caption; and
    "Calibration", which Wine draws larger and cuts at the button's edges, is
    only required to be there. In calibration mode the client area (the X mark
    and, the buttons being hidden, nothing else) must be identical. On the pad
    the strokes must lie in the same places, to within the one-pixel choices
    that line drawing makes where a line passes exactly between two pixels;
    where a mouse's hover moves made the pad draw lines that a touch panel
    never reports, Wine may show more."""
    if (wine.width, wine.height) != (simulated.width, simulated.height):
        return [f"the screens differ in size: {wine.width}x{wine.height} under Wine, "
                f"{simulated.width}x{simulated.height} in the simulator"]
    problems = []
    if buttons_shown:
        for name, _, _ in pen_replay.BUTTONS:
            rect = pen_replay.button_rect(name)
            for screen, where in ((wine, "under Wine"), (simulated, "in the simulator")):
                if not has_ink(screen, rect):
                    problems.append(f"the {name} button is missing {where}")
            if name in HANGUL_BUTTONS and name != focus:
                difference = caption_match.caption_difference(wine, simulated, rect)
                if difference:
                    problems.append(f"the {name} button's caption differs: {difference}")
    differing = []
    bottom = min(pen_replay.CLIENT_BOTTOM, wine.height)
    right = min(pen_replay.CLIENT_RIGHT, wine.width)
    for y in range(pen_replay.CLIENT_TOP, bottom):
        for x in range(pen_replay.CLIENT_LEFT, right):
            if buttons_shown and pen_replay.inside(BUTTON_STRIP, x, y):
                continue
            mine, theirs = wine.pixel(x, y), simulated.pixel(x, y)
            if calibrating:
                differs = mine != theirs
            else:
                differs = simulated.is_dark(x, y) and not dark_near(wine, x, y) or \
                    not hover_drawn and wine.is_dark(x, y) and not dark_near(simulated, x, y)
            if differs:
                differing.append((x, y, mine, theirs))
    if differing:
        sample = "; ".join(f"({x}, {y}) {m} vs {t}" for x, y, m, t in differing[:6])
        problems.append(f"{len(differing)} client pixels differ (Wine vs simulator): {sample}")
    return problems


class ScriptRun:
    """One start of qozcal.exe driven by one script."""

    def __init__(self, session, builds, script, replay, simulated, wine_dir, first_start, report,
                 recorded_calls=None):
        """recorded_calls: the record of every platform call the program
        must make (the coredll stand-in keeps one), or None."""
        self.recorded_calls = recorded_calls
        self.session = session
        self.builds = builds
        self.script = script
        self.replay = replay
        self.simulated = simulated
        self.dir = wine_dir
        self.first_start = first_start
        self.report = report
        self.capture = os.path.join(wine_dir, "debug.txt")
        self.pending_pause = None
        self.completions = 0

    def fail(self, message):
        self.report.fail(f"{self.script}: {message}")

    def check(self, passed, message):
        return self.report.check(passed, f"{self.script}: {message}")

    # -- starting and ending -------------------------------------------------
    def start_listener(self):
        if not self.replay.events:
            return None
        ready = os.path.join(self.dir, "listen-ready")
        output = open(os.path.join(self.dir, "listen.txt"), "wb")
        listener = self.session.start(
            [self.builds.listen, "--count", str(len(self.replay.events)), "--timeout", "300000",
             "--ready", "listen-ready"], self.dir, stdout=output)
        output.close()
        if not wait_for(lambda: os.path.exists(ready) or listener.poll() is not None, 60):
            raise SessionError("qozcal-listen.exe did not get ready")
        if listener.poll() is not None:
            raise SessionError(f"qozcal-listen.exe ended with status {listener.returncode}")
        return listener

    def start_program(self):
        self.session.xdotool("mousemove", 0, 0)   # on the border: no window gets a move
        recording = {"QOZCAL_CALL_RECORD": "calls.txt"} if self.recorded_calls else None
        program = self.session.start([self.builds.dbgcap, "debug.txt", self.builds.qozcal],
                                     self.dir, environment=recording)
        window = self.session.find_window(WINDOW_NAME, timeout_s=60)
        if window is None:
            program.kill()
            raise SessionError(f"no window named {WINDOW_NAME} appeared")
        # The window is created with no size and placed right after.
        geometry = None

        def placed():
            nonlocal geometry
            geometry = self.session.window_geometry(window)
            return geometry == (0, 0, 240, 320)

        wait_for(placed, 20)
        self.check(geometry == (0, 0, 240, 320),
                   f"the window {WINDOW_NAME} is at {geometry[:2]} with {geometry[2]}x"
                   f"{geometry[3]}, not at (0, 0) with 240x320")
        painted = wait_for(self.shows_start_screen, 20)
        self.check(painted, "the window never showed a thin border, no caption, a white client "
                            "area and the three buttons")
        return program

    def shows_start_screen(self):
        screen = self.session.screen()
        border = not screen.is_white(0, 0) and not screen.is_white(0, 100)
        # A caption would cover the top rows of what is the client area here.
        top_rows_white = all(screen.is_white(x, y) for y in range(1, 32) for x in range(1, 100))
        buttons = all(has_ink(screen, pen_replay.button_rect(n)) for n, _, _ in pen_replay.BUTTONS)
        return border and top_rows_white and buttons

    def end_program(self, program):
        try:
            status = program.wait(timeout=60)
        except subprocess.TimeoutExpired:
            program.kill()
            program.wait()
            self.fail("qozcal.exe did not end after the exit button")
            return
        self.check(status == 0, f"qozcal.exe (through qozcal-dbgcap.exe) exited with {status}, "
                                "not 0")

    # -- replaying -------------------------------------------------------------
    def run(self):
        listener = self.start_listener()
        program = self.start_program()
        try:
            for step in self.replay.steps:
                self.replay_step(step)
            self.end_program(program)
        finally:
            if program.poll() is None:
                program.kill()
        self.check_debug_lines()
        self.check_recorded_calls()
        settings = wine_settings(self.session, self.dir)
        self.check_settings(settings)
        self.check_stored_sizes(settings)
        self.check_listener(listener, settings)

    def replay_step(self, step):
        kind = step[0]
        if kind == "sleep":
            time.sleep(step[1] / 1000)
            return
        self.await_pause_end()
        if kind == "pointer":
            self.session.xdotool("mousemove", step[1], step[2])
        elif kind == "press":
            self.session.xdotool("mousedown", 1)
        elif kind == "release":
            self.session.xdotool("mouseup", 1)
        elif kind == "key":
            self.session.xdotool("key", step[1])
        elif kind == "pause":
            self.pending_pause = step[1:]
        elif kind == "shot":
            self.take_shot(*step[1:])
        elif kind == "exit_tap":
            left, top, right, bottom = pen_replay.button_rect("exit")
            self.session.xdotool("mousemove", (left + right) // 2, (top + bottom) // 2)
            self.session.xdotool("mousedown", 1)
            self.session.xdotool("mouseup", 1)

    def await_pause_end(self):
        """After a calibration tap the program sleeps, then repaints: wait
        until the repaint shows (the old mark erased, the next one drawn, or
        the buttons back and the completion line written)."""
        if self.pending_pause is None:
            return
        previous, following, last = self.pending_pause
        self.pending_pause = None
        if last:
            self.completions += 1
        if previous is None and following is None and not last:
            return   # nothing of it is on the screen: the script's wait paces it

        def repainted():
            screen = self.session.screen()
            if previous is not None and not screen.is_white(*previous):
                return False
            if following is not None and not screen.is_dark(*following):
                return False
            if last:
                lines = read_file(self.capture).count(COMPLETION_LINE)
                return lines >= self.completions and has_ink(
                    screen, pen_replay.button_rect("calibrate"))
            return True

        self.check(wait_for(repainted, 20), "the screen did not change as a calibration tap "
                                            "asks for")

    def take_shot(self, name, calibrating, buttons_shown, hover_drawn, focus):
        path = os.path.join(self.dir, name)
        simulated_path = os.path.join(self.simulated.run_dir, name)
        if not self.check(os.path.exists(simulated_path), f"the simulator wrote no {name}"):
            self.session.save_screen(path)
            return
        simulated = Screen.from_png(simulated_path)
        last = []

        def matches():
            screen = self.session.screen()
            last[:] = [screen]
            return not compare_shot(screen, simulated, calibrating, buttons_shown, hover_drawn,
                                    focus)

        if not wait_for(matches, 8, interval_s=0.1):
            problems = compare_shot(last[0], simulated, calibrating, buttons_shown, hover_drawn,
                                    focus)
            self.fail(f"{name} differs from the simulator's: " + "; ".join(problems))
        screen = last[0]
        subprocess.run(["convert", "-size", f"{screen.width}x{screen.height}", "-depth", "8",
                        "rgb:-", path], input=screen.raw, check=True)

    # -- what the program left behind -------------------------------------------
    def check_debug_lines(self):
        captured = read_file(self.capture)
        expected = self.simulated.debug
        self.check(captured == expected,
                   "the debug lines differ.\n  Wine (qozcal-dbgcap):\n" + show_bytes(captured) +
                   "\n  simulator:\n" + show_bytes(expected))
        known = EXPECTED_DEBUG.get(self.script)
        if known is not None:
            self.check(captured == known, "the debug lines are not the known ones:\n" +
                       show_bytes(known))
        seeded = captured.startswith(SEED_LINES)
        if self.first_start:
            self.check(seeded, "the first start did not begin with the four seed lines")
        else:
            self.check(b"AddQOZRegistryItem" not in captured,
                       "a start with the settings key present wrote seed lines")
        self.check(captured.count(COMPLETION_LINE) == self.replay.events.count("CALENDEVENT"),
                   "the completion line does not appear once per calibration")

    def check_recorded_calls(self):
        if not self.recorded_calls:
            return
        made = read_file(os.path.join(self.dir, "calls.txt"))
        expected = read_file(self.recorded_calls)
        self.check(made == expected,
                   f"the calls the program made, as the coredll stand-in recorded them, are not "
                   f"those of {self.recorded_calls}:\n"
                   + "".join(difflib.unified_diff(expected.decode().splitlines(True),
                                                  made.decode().splitlines(True), "expected",
                                                  "made")))

    def check_settings(self, settings):
        self.check(settings == self.simulated.settings,
                   "the settings differ.\n  Wine (reg query): " + show_settings(settings) +
                   "\n  simulator:        " + show_settings(self.simulated.settings))
        known = EXPECTED_SETTINGS.get(self.script)
        if known is not None:
            self.check(all(setting_is(settings[name.lower()], expected)
                           for name, expected in zip(SETTING_NAMES, known)),
                       "the settings are not the known ones.\n  Wine (reg query): " +
                       show_settings(settings) + "\n  known:            " +
                       ", ".join(f"{n}={e}" for n, e in zip(SETTING_NAMES, known)))

    def check_stored_sizes(self, settings):
        """Each setting is stored as its characters only: REG_SZ, 2 bytes a
        character, no NUL."""
        stored = stored_settings(self.session, self.builds, self.dir)
        for name in SETTING_NAMES:
            text = settings[name.lower()]
            if text is None:
                continue
            want = (1, 2 * len(text), [ord(c) for c in text])
            self.check(stored.get(name.lower()) == want,
                       f"{name} is stored as (type, size, units) {stored.get(name.lower())}, "
                       f"not {want}")

    def check_listener(self, listener, settings):
        if listener is None:
            return
        try:
            listener.wait(timeout=30)
        except subprocess.TimeoutExpired:
            listener.kill()
            listener.wait()
        with open(os.path.join(self.dir, "listen.txt"), "rb") as output:
            lines = output.read().decode("utf-8", "replace").splitlines()
        expected_lines = []
        for index, event in enumerate(self.replay.events):
            expected_lines.append(event)
            if event != "CALENDEVENT":
                continue
            later_end = "CALENDEVENT" in self.replay.events[index + 1:]
            for name in SETTING_NAMES:
                value = settings[name.lower()]
                expected_lines.append(f"{name}=*" if later_end else f"{name}={value}")
        matches = len(lines) == len(expected_lines) and all(
            line == want or want.endswith("=*") and line.startswith(want[:-1]) and
            SETTINGS_TEXT.fullmatch(line[len(want) - 1:])
            for line, want in zip(lines, expected_lines))
        self.check(matches and listener.returncode == 0,
                   f"qozcal-listen.exe (status {listener.returncode}) printed:\n    " +
                   "\n    ".join(lines) + "\n  instead of:\n    " + "\n    ".join(expected_lines))
