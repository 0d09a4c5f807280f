"""Pen scripts replayed on the real Win32 implementation.

Takes a pen script's steps as the simulator parses them (`qozcal
--print-script`: the grammar is read there only), checks that they follow the
rules a replay with xdotool under Wine needs, and turns them into the steps a
driver sends, with what the program is expected to do along the way. The
rules:

  * moves are paced: a `move` comes at least MOVE_PACING_MS after the previous
    pen event (Wine merges pointer motion that queues up), and never to the
    point where the pointer already is (X reports no motion there);
  * an `up` is only where the pointer is, that is at the last down/move point;
  * a `stroke` sends its moves unpaced, so it cannot be replayed;
  * nothing is sent (input or shot) for PAUSE_MS after a calibration tap,
    while the program sleeps;
  * every point lies on the screen (the pointer cannot leave it);
  * a `key` comes with the pointer over the window (the X server sends keys
    to the window under the pointer);
  * the script ends with the pen up and the program in pad mode (or ended),
    so that the exit button can end the program.

Input after a tap on the exit button is still sent: Windows hands the quit to
the program before any input queued behind it, so none of it may have an
effect. Shots after it are not taken (there is no window left to show).

To know which taps are calibration taps, the checker follows the program's
visible state the way a user would: the buttons, which window has the
keyboard focus, calibration mode and the target count.
"""

import os
import re
import struct
import subprocess
import tempfile

MOVE_PACING_MS = 20
PAUSE_MS = 700

WINDOW_WIDTH = 240
WINDOW_HEIGHT = 320
# The client area of the bordered window at (0, 0), in screen pixels.
CLIENT_LEFT, CLIENT_TOP = 1, 1
CLIENT_RIGHT, CLIENT_BOTTOM = WINDOW_WIDTH - 1, WINDOW_HEIGHT - 1   # exclusive


def program_geometry():
    """The buttons' geometry as the program defines it (app/main_window.h):
    {name: number} of its #defines."""
    header = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "app",
                          "main_window.h")
    with open(header, encoding="utf-8") as text:
        return {m.group(1): int(m.group(2))
                for m in re.finditer(r"^#define (\w+_(?:LEFT|WIDTH|TOP|HEIGHT)) (\d+)$",
                                     text.read(), re.M)}


GEOMETRY = program_geometry()
# The buttons, in client coordinates: (name, x, width), along the top edge.
BUTTONS = tuple((name, GEOMETRY[f"{prefix}_BUTTON_LEFT"], GEOMETRY[f"{prefix}_BUTTON_WIDTH"])
                for name, prefix in (("erase", "ERASE"), ("exit", "EXIT"),
                                     ("calibrate", "CALIBRATE")))
BUTTON_TOP, BUTTON_HEIGHT = GEOMETRY["TOOL_BUTTON_TOP"], GEOMETRY["TOOL_BUTTON_HEIGHT"]

# The simulator's key names as xdotool presses them.
KEYS = {"space": "space", "return": "Return", "escape": "Escape"}
KEYS.update({c: c for c in "abcdefghijklmnopqrstuvwxyz0123456789"})


class ScriptError(Exception):
    """A script that cannot be replayed; str() is "FILE:LINE: message"."""


def float32(value):
    return struct.unpack("<f", struct.pack("<f", value))[0]


def targets(screen_width, screen_height):
    """The five targets in client coordinates, as the program lays them out."""
    left, top = float32(screen_width * 0.1), float32(screen_height * 0.1)
    right = float32(screen_width * 0.9)
    bottom_exact = screen_height * 0.9
    bottom = float32(bottom_exact)
    centre = (float32((right + left) * 0.5), float32((bottom_exact + top) * 0.5))
    return [(left, top), (right, top), (right, bottom), (left, bottom), centre]


def button_rect(name):
    """A button's screen rectangle (left, top, right, bottom), right and bottom
    exclusive, clipped to the client area."""
    for button, x, width in BUTTONS:
        if button == name:
            left = CLIENT_LEFT + x
            right = min(CLIENT_LEFT + x + width, CLIENT_RIGHT)
            return left, CLIENT_TOP + BUTTON_TOP, right, CLIENT_TOP + BUTTON_TOP + BUTTON_HEIGHT
    raise KeyError(name)


def inside(rect, x, y):
    left, top, right, bottom = rect
    return left <= x < right and top <= y < bottom


def parse_script(path, simulator):
    """[(line, command, args)] of the script at path as the simulator parses
    it: down, move and up with X and Y, key with its name, wait with MS, shot
    with its file. ScriptError when the simulator refuses it."""
    result = subprocess.run([simulator, "--print-script", "--script", path],
                            capture_output=True, timeout=120)
    if result.returncode != 0:
        raise ScriptError(result.stderr.decode("utf-8", "replace").strip())
    commands = []
    for text in result.stdout.decode("utf-8").splitlines():
        line, name, *args = text.split(" ")
        commands.append((int(line), name,
                         args if name in ("key", "shot") else [int(arg) for arg in args]))
    return commands


def parse_text(text, simulator):
    """parse_script of a script's text, as test.pen."""
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "test.pen")
        with open(path, "w", encoding="utf-8") as script:
            script.write(text)
        try:
            return parse_script(path, simulator)
        except ScriptError as error:
            raise ScriptError(str(error).replace(path, "test.pen")) from None


class Replay:
    """The checked script as driver steps, and what the program does."""

    def __init__(self):
        self.steps = []          # see ReplayModel for the step tuples
        self.events = []         # "CALSTARTEVENT" / "CALENDEVENT", in order
        self.program_exits = False   # the script itself ends the program


class ReplayModel:
    """Follows the program's visible state while the script is replayed.

    Steps: ("pointer", x, y, hover) moves the pointer (hover: the main window
    records the move although the pen is up); ("press",), ("release",);
    ("key", keysym); ("sleep", ms); ("shot", file, calibrating, buttons_shown,
    hover_drawn, focus), focus being "main" or the button with the keyboard
    focus; ("pause", previous_mark, next_mark, last) after a calibration tap: the screen pixels of the mark centres that the repaint after the
    pause erases and draws (None where not visible), last for the tap that
    ends the calibration; ("exit_tap",) the exit button at the end.
    """

    def __init__(self, path, screen_width, screen_height):
        self.path = path
        self.screen = (screen_width, screen_height)
        self.targets = targets(screen_width, screen_height)
        self.replay = Replay()
        self.pointer = (0, 0)          # the driver parks the pointer here first
        self.pen_down = False
        self.last_pen_event_ms = None  # time of the last down/move
        self.now_ms = 0
        self.pause_until_ms = -1
        # The program, as a user sees it.
        self.buttons_shown = True
        self.focus = "main"
        self.capture = None
        self.calibrating = False
        self.sample_index = 0
        self.stroke_index = 0
        self.hover_drawn = False       # the pad shows a line a touch panel would not draw
        self.exited = False

    # -- geometry ---------------------------------------------------------
    def window_at(self, x, y):
        """The window under the pointer: a button name, "main" or None."""
        if self.exited:
            return None
        if self.buttons_shown:
            for name, _, _ in BUTTONS:
                if inside(button_rect(name), x, y):
                    return name
        if inside((CLIENT_LEFT, CLIENT_TOP, CLIENT_RIGHT, CLIENT_BOTTOM), x, y):
            return "main"
        return None

    def visible_target(self, index):
        """Screen pixel of a target's mark centre, or None when not visible."""
        if index is None:
            return None
        tx, ty = self.targets[index]
        x, y = CLIENT_LEFT + int(tx), CLIENT_TOP + int(ty)
        width, height = self.screen
        on_screen = x < width and y < height
        return (x, y) if on_screen and self.window_at(x, y) == "main" else None

    # -- the program's reactions ------------------------------------------
    def erase_repaint(self):
        self.hover_drawn = False

    def show_buttons(self, shown):
        self.buttons_shown = shown
        if not shown and self.focus != "main":
            self.focus = "main"

    def start_calibration(self):
        self.sample_index = 0
        self.show_buttons(False)
        self.calibrating = True
        self.erase_repaint()

    def command(self, button):
        self.calibrating = False
        self.sample_index = 0
        if button == "erase":
            self.erase_repaint()
        elif button == "exit":
            self.exited = True
            self.replay.program_exits = True
        elif button == "calibrate":
            self.start_calibration()
            self.replay.events.append("CALSTARTEVENT")

    def main_window_records(self):
        self.stroke_index = (self.stroke_index + 1) % 256

    def calibration_tap(self):
        previous = self.sample_index
        self.sample_index += 1
        following = None
        if self.sample_index == 5:
            self.replay.events.append("CALENDEVENT")
            self.show_buttons(True)
            self.calibrating = False
        else:
            following = self.sample_index
        self.erase_repaint()
        self.pause_until_ms = self.now_ms + PAUSE_MS
        self.emit("pause", self.visible_target(previous), self.visible_target(following),
                  following is None)

    # -- steps --------------------------------------------------------------
    def emit(self, *step):
        self.replay.steps.append(step)

    def fail(self, line, message):
        raise ScriptError(f"{self.path}:{line}: {message}")

    def move_pointer(self, line, x, y):
        width, height = self.screen
        if x >= width or y >= height:
            self.fail(line, f"({x}, {y}) is off the {width}x{height} screen")
        if (x, y) == self.pointer:
            return
        self.pointer = (x, y)
        hover = not self.pen_down and self.window_at(x, y) == "main"
        if hover:
            # A mouse reports the move although no pen touches the screen.
            self.main_window_records()
            if not self.calibrating and self.stroke_index >= 2:
                self.hover_drawn = True
        self.emit("pointer", x, y, hover)

    def pen_down_at(self, line, x, y):
        self.move_pointer(line, x, y)
        self.pen_down = True
        self.last_pen_event_ms = self.now_ms
        target = self.window_at(x, y)
        if target in ("erase", "exit", "calibrate"):
            self.capture = target
            self.focus = target
        elif target == "main":
            self.stroke_index = 0
        self.emit("press")

    def pen_up(self):
        x, y = self.pointer
        self.pen_down = False
        self.emit("release")
        captured, self.capture = self.capture, None
        if captured is not None:
            if self.window_at(x, y) == captured:
                self.command(captured)
            return
        if self.window_at(x, y) == "main":
            self.main_window_records()
            if self.calibrating:
                self.calibration_tap()

    def check_not_paused(self, line, what):
        if self.now_ms < self.pause_until_ms:
            self.fail(line, f"{what} during the program's pause after a calibration tap "
                            f"(wait at least {PAUSE_MS} ms after the tap)")

    def run(self, commands):
        line = commands[-1][0] if commands else 1
        for line, name, args in commands:
            if name == "wait":
                self.now_ms += args[0]
                self.emit("sleep", args[0])
                continue
            self.check_not_paused(line, f"'{name}'")
            if name == "shot":
                if not self.exited:
                    self.emit("shot", args[0], self.calibrating, self.buttons_shown,
                              self.hover_drawn, self.focus)
            elif name == "key":
                if not self.exited and not inside((0, 0, WINDOW_WIDTH, WINDOW_HEIGHT),
                                                  *self.pointer):
                    self.fail(line, "a key with the pointer off the window; the X server "
                                    "sends keys to the window under the pointer")
                self.key(args[0])
            else:
                self.pen(line, name, *args)
        if self.pen_down:
            self.fail(line, "the script ends with the pen down")
        if not self.exited:
            if not self.buttons_shown:
                self.fail(line, "the script ends in calibration mode; the exit button "
                                "cannot end the program then")
            self.emit("exit_tap")
        return self.replay

    def key(self, name):
        self.emit("key", KEYS[name])
        if self.exited:
            return
        if self.focus == "main":
            self.start_calibration()
        elif name == "space":
            self.command(self.focus)

    def pen(self, line, name, x, y):
        if name == "down":
            self.pen_down_at(line, x, y)
            return
        if name == "move":
            if self.now_ms - self.last_pen_event_ms < MOVE_PACING_MS:
                self.fail(line, f"a move needs 'wait {MOVE_PACING_MS}' or more after the "
                                "previous pen event (a stroke's moves are unpaced)")
            if (x, y) == self.pointer:
                self.fail(line, f"a move to ({x}, {y}), where the pointer already is, is "
                                "never reported")
            self.move_pointer(line, x, y)
            self.last_pen_event_ms = self.now_ms
            if self.capture is None and self.window_at(x, y) == "main":
                self.main_window_records()
            return
        if (x, y) != self.pointer:
            self.fail(line, f"an up at ({x}, {y}) away from the pointer at {self.pointer}; "
                            "the button is released where the pointer is")
        self.pen_up()


def load_replay(path, screen_width, screen_height, simulator):
    """Reads and checks the script at `path`; a Replay, or ScriptError."""
    model = ReplayModel(path, screen_width, screen_height)
    return model.run(parse_script(path, simulator))
