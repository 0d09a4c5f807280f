"""An X server and a Wine prefix for running the Windows build, and the X
tools that act as the user: xdotool for the pen and the keys, ImageMagick's
import for the screen, xwininfo for the window's place."""

import errno
import os
import shutil
import subprocess
import time

WINE_ENVIRONMENT = {
    "WINEDEBUG": "-all",
    # No dialogs offering to install Mono or Gecko during wineboot.
    "WINEDLLOVERRIDES": "mscoree,mshtml=",
    "LANG": "C.UTF-8",
    "LC_ALL": "C.UTF-8",
}


# Font names Wine replaces by others when a program asks for them.
SUBSTITUTES_KEY = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes"


class SessionError(Exception):
    pass


class CannotRun32Bit(Exception):
    """This machine cannot execute 32-bit programs at all, so no 32-bit
    prefix can start here."""


# Debian's loaders. Its /usr/bin/wine is a wrapper that starts the 32-bit
# loader whenever wine32 is installed, even for a 64-bit prefix, so each
# prefix is started with the loader of its own width.
WINE32_LOADER = "/usr/lib/wine/wine"
WINE64_LOADER = "/usr/lib/wine/wine64"
WINE_LOADERS = {"win32": WINE32_LOADER, "win64": WINE64_LOADER}
WINE_PACKAGES = {"win32": "wine32:i386", "win64": "wine64"}


def wait_for(condition, timeout_s, interval_s=0.05):
    """Polls condition() until it returns something true; returns that, or
    None once timeout_s has passed."""
    deadline = time.monotonic() + timeout_s
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() >= deadline:
            return None
        time.sleep(interval_s)


def find_loader(wine_arch, loader=None):
    """The Wine loader for a prefix of wine_arch ("win32" or "win64"): loader
    when given, else Debian's. Starts it once with --version: CannotRun32Bit
    when the system refuses a 32-bit loader as an unknown format (the one
    reason a 32-bit run is not made), SessionError for any other failure."""
    loader = loader or WINE_LOADERS[wine_arch]
    try:
        result = subprocess.run([loader, "--version"], capture_output=True, timeout=60)
    except OSError as error:
        if error.errno == errno.ENOEXEC and wine_arch == "win32":
            raise CannotRun32Bit(f"{loader}: {error.strerror}")
        raise SessionError(f"the Wine loader {loader} cannot be started: {error.strerror} "
                           f"(Debian package {WINE_PACKAGES[wine_arch]})")
    if result.returncode != 0:
        raise SessionError(f"{loader} --version failed with status {result.returncode}: "
                           f"{result.stderr.decode('utf-8', 'replace').strip()}")
    return loader


# CTest's skip code; a run that was not made says why on one line, which the
# test command's summary repeats.
SKIP_STATUS = 77


def not_checked(what, reason):
    print(f"NOT CHECKED: {what}: {reason}", flush=True)
    return SKIP_STATUS


def find_wineserver():
    for candidate in ("wineserver", "/usr/lib/wine/wineserver"):
        server = shutil.which(candidate)
        if server:
            return server
    raise SessionError("no wineserver program found (Debian package wine)")


class XServer:
    """Xvfb with one screen of the given size, on a display it picks itself."""

    def __init__(self, width, height, log_path):
        self.width, self.height = width, height
        read_end, write_end = os.pipe()
        self.log = open(log_path, "ab")
        try:
            self.process = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                 f"{width}x{height}x24", "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_end,), stdout=self.log, stderr=self.log)
        except FileNotFoundError:
            raise SessionError("Xvfb is not installed (Debian package xvfb)")
        finally:
            os.close(write_end)
        with os.fdopen(read_end) as reader:
            number = reader.readline().strip()
        if not number:
            self.process.kill()
            raise SessionError(f"Xvfb did not start; see {log_path}")
        self.display = f":{number}"

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.log.close()


class WineSession:
    """A WINEPREFIX of the given architecture on one X server, and the user's
    tools."""

    def __init__(self, prefix, xserver, log_path, wine_arch, loader):
        self.wine, self.wineserver = loader, find_wineserver()
        self.prefix = prefix
        self.xserver = xserver
        self.log_path = log_path
        self.env = dict(os.environ)
        self.env.update(WINE_ENVIRONMENT)
        self.env["WINEPREFIX"] = prefix
        # A 32-bit prefix starts 32-bit programs only.
        self.env["WINEARCH"] = wine_arch
        # What Debian's wrapper sets: the loader that starts the prefix's
        # further processes.
        self.env["WINELOADER"] = loader
        self.env["DISPLAY"] = xserver.display

    def log(self):
        return open(self.log_path, "ab")

    def boot(self, timeout_s=240):
        """Creates the prefix; SessionError when Wine does not start it."""
        with self.log() as log:
            try:
                result = subprocess.run([self.wine, "wineboot", "--init"], env=self.env,
                                        stdout=log, stderr=log, timeout=timeout_s)
            except subprocess.TimeoutExpired:
                raise SessionError(f"wineboot did not finish in {timeout_s} s")
            if result.returncode != 0:
                raise SessionError(f"wineboot failed with status {result.returncode}; "
                                   f"see {self.log_path}")
        self.wait_for_server()

    def use_system_font(self, family):
        """Makes family the prefix's system font, which draws the captions
        of buttons that were given no font: a fresh prefix's has no Hangul."""
        status, output = self.run(["reg", "add", SUBSTITUTES_KEY, "/v", "System", "/d", family,
                                   "/f"], cwd=self.prefix)
        if status != 0:
            raise SessionError(f"wine reg add of the system font failed ({status}): {output}")
        self.wait_for_server()

    def wait_for_server(self, timeout_s=120):
        """Waits until the prefix's wineserver has ended (all programs gone)."""
        with self.log() as log:
            subprocess.run([self.wineserver, "-w"], env=self.env, stdout=log, stderr=log,
                           timeout=timeout_s)

    def stop_server(self):
        with self.log() as log:
            subprocess.run([self.wineserver, "-k"], env=self.env, stdout=log, stderr=log,
                           timeout=60)
        self.wait_for_server()

    def start(self, arguments, cwd, stdout=subprocess.DEVNULL, environment=None):
        """Starts a Windows program, with environment's variables added; a
        Popen. Its standard error is dropped."""
        return subprocess.Popen([self.wine] + arguments, cwd=cwd,
                                env=dict(self.env, **(environment or {})), stdout=stdout,
                                stderr=subprocess.DEVNULL)

    def run(self, arguments, cwd, timeout_s=60):
        """Runs a Windows program; (status, output)."""
        result = subprocess.run([self.wine] + arguments, cwd=cwd, env=self.env,
                                capture_output=True, timeout=timeout_s)
        return result.returncode, result.stdout.decode("utf-8", "replace")

    # -- the user's X tools -----------------------------------------------
    def x_tool(self, arguments, timeout_s=30):
        result = subprocess.run(arguments, env=self.env, capture_output=True, timeout=timeout_s)
        if result.returncode != 0:
            raise SessionError(f"{' '.join(arguments)} failed: "
                               f"{result.stderr.decode('utf-8', 'replace').strip()}")
        return result.stdout

    def xdotool(self, *arguments):
        self.x_tool(["xdotool"] + [str(a) for a in arguments])

    def find_window(self, name, timeout_s):
        """The X window id of the window named exactly `name`, waiting for it."""
        try:
            output = self.x_tool(["xdotool", "search", "--sync", "--onlyvisible", "--name",
                                  f"^{name}$"], timeout_s=timeout_s)
        except subprocess.TimeoutExpired:
            return None
        ids = output.decode().split()
        return ids[0] if ids else None

    def window_geometry(self, window_id):
        """(x, y, width, height) of an X window, from xwininfo."""
        text = self.x_tool(["xwininfo", "-id", window_id]).decode()
        fields = {}
        for line in text.splitlines():
            key, _, value = line.strip().partition(":")
            fields[key] = value.strip()
        return (int(fields["Absolute upper-left X"]), int(fields["Absolute upper-left Y"]),
                int(fields["Width"]), int(fields["Height"]))

    def screen(self):
        """The whole screen as a Screen."""
        raw = self.x_tool(["import", "-window", "root", "-depth", "8", "rgb:-"])
        return Screen(self.xserver.width, self.xserver.height, raw)

    def save_screen(self, path):
        self.x_tool(["import", "-window", "root", path])


class Screen:
    """RGB pixels of a screen or a PNG file."""

    def __init__(self, width, height, raw):
        if len(raw) != width * height * 3:
            raise SessionError(f"expected {width}x{height} RGB pixels, got {len(raw)} bytes")
        self.width, self.height, self.raw = width, height, raw

    @staticmethod
    def from_png(path):
        size = subprocess.run(["identify", "-format", "%w %h", path], capture_output=True,
                              check=True).stdout.decode().split()
        raw = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True,
                             check=True).stdout
        return Screen(int(size[0]), int(size[1]), raw)

    def pixel(self, x, y):
        offset = 3 * (y * self.width + x)
        return tuple(self.raw[offset:offset + 3])

    def is_white(self, x, y):
        return self.pixel(x, y) == (255, 255, 255)

    def is_dark(self, x, y):
        return sum(self.pixel(x, y)) < 3 * 96
