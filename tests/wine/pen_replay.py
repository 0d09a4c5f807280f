"""Pen scripts replayed on the real Win32 implementation.

Reads a pen script (the simulator's format), checks that it follows the rules
a replay with xdotool under Wine needs, and turns it into the steps a driver
sends, with what the program is expected to do along the way. The rules:

  * moves are paced: a `move` comes at least MOVE_PACING_MS after the previous
    pen event (Wine merges pointer motion that queues up), and never to the
    point where the pointer already is (X reports no motion there);
  * an `up` is only where the pointer is, that is at the last down/move point;
  * `stroke` sends its moves unpaced, so it cannot be replayed;
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

import struct

MOVE_PACING_MS = 20
PAUSE_MS = 700

WINDOW_WIDTH = 240
WINDOW_HEIGHT = 320
# The client area of the bordered window at (0, 0), in screen pixels.
CLIENT_LEFT, CLIENT_TOP = 1, 1
CLIENT_RIGHT, CLIENT_BOTTOM = WINDOW_WIDTH - 1, WINDOW_HEIGHT - 1   # exclusive

# The buttons, in client coordinates: (name, x, width); all at y 1, height 30.
BUTTONS = (("erase", 100, 30), ("exit", 130, 30), ("calibrate", 160, 80))
BUTTON_TOP, BUTTON_HEIGHT = 1, 30

KEYS = {"space": "space", "return": "Return", "escape": "Escape"}
KEYS.update({c: c for c in "abcdefghijklmnopqrstuvwxyz0123456789"})

MAX_COORDINATE = 65535
MAX_WAIT_MS = 86400000


class ScriptError(Exception):
    """A script that cannot be replayed; str() is "FILE:LINE: message"."""

    def __init__(self, path, line, message):
        super().__init__(f"{path}:{line}: {message}")


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


def parse_script(path, text):
    """[(line, command, args)] with numbers converted; ScriptError if bad."""
    commands = []
    for number, raw in enumerate(text.splitlines(), start=1):
        words = raw.split("#", 1)[0].split()
        if not words:
            continue
        name, args = words[0], words[1:]

        def numbers(count=None, limit=MAX_COORDINATE):
            if count is not None and len(args) != count:
                raise ScriptError(path, number, f"'{name}' takes {count} numbers")
            values = []
            for arg in args:
                if not arg.isdigit() or int(arg) > limit:
                    raise ScriptError(path, number, f"'{arg}' is not a number from 0 to {limit}")
                values.append(int(arg))
            return values

        if name in ("down", "move", "up", "tap"):
            commands.append((number, name, numbers(2)))
        elif name == "stroke":
            commands.append((number, name, numbers()))
        elif name == "wait":
            commands.append((number, name, numbers(1, MAX_WAIT_MS)))
        elif name == "key":
            if len(args) > 1:
                raise ScriptError(path, number, "'key' takes at most one key name")
            key = args[0] if args else "space"
            if key not in KEYS:
                raise ScriptError(path, number, f"unknown key '{key}'")
            commands.append((number, name, [key]))
        elif name == "shot":
            if len(args) != 1:
                raise ScriptError(path, number, "'shot' takes one file name")
            commands.append((number, name, args))
        else:
            raise ScriptError(path, number, f"unknown command '{name}'")
    return commands


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
        raise ScriptError(self.path, line, message)

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
            elif name == "stroke":
                self.fail(line, "'stroke' sends its moves unpaced; write down, move, wait "
                                f"{MOVE_PACING_MS} and up instead")
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
        if name in ("down", "tap"):
            if self.pen_down:
                self.fail(line, f"'{name}' while the pen is down")
            self.pen_down_at(line, x, y)
            if name == "tap":
                self.pen_up()
            return
        if not self.pen_down:
            self.fail(line, f"'{name}' without the pen down")
        if name == "move":
            if self.now_ms - self.last_pen_event_ms < MOVE_PACING_MS:
                self.fail(line, f"a move needs 'wait {MOVE_PACING_MS}' or more after the "
                                "previous pen event")
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


def load_replay(path, screen_width, screen_height):
    """Reads and checks the script at `path`; a Replay, or ScriptError."""
    with open(path, encoding="utf-8") as script:
        text = script.read()
    model = ReplayModel(path, screen_width, screen_height)
    return model.run(parse_script(path, text))
