#!/usr/bin/env python3
"""Settings files through Wine's own regedit and back.

1. The simulator seeds a new settings file (UTF-8); `regedit /S` imports it
   into a fresh WINEPREFIX and `regedit /E` exports the key again, as
   UTF-16LE with a byte-order mark, CR LF and the version 5.00 header.
2. The simulator runs a calibration of known result on that export: the
   file must keep its encoding, header and line ends, change in nothing but
   the four settings, and import into Wine again with the known values.
3. The same for a REGEDIT4 file in Windows-1252 with a comment and text
   outside ASCII: after the calibration Wine imports it with every value as
   the simulator read it.

Exit status: 0 all passed, 1 a check failed or Wine could not start. The
prefix is a 64-bit one, which every machine that runs the tests can start.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from wine_checks import Report  # noqa: E402
from wine_session import SessionError, WineSession, XServer, find_loader  # noqa: E402

KEY = r"HKEY_CURRENT_USER\Software\QozSerial"
HEADER = "Windows Registry Editor Version 5.00"
SETTING_NAMES = ("ScaleX", "ScaleY", "OffsetX", "OffsetY")
KNOWN_FIT = {"ScaleX": "1.12940", "ScaleY": "1.06667", "OffsetX": "-42.16471",
             "OffsetY": "-34.13334"}
SEEDED = {"ScaleX": "1", "ScaleY": "1", "OffsetX": "0", "OffsetY": "0"}
VALUE_LINE = re.compile(r'"([^"\\]*)"="([^"\\]*)"')


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--simulator", required=True, help="the host qozcal executable")
    parser.add_argument("--wine-loader", help="the 64-bit Wine loader (default: Debian's)")
    args = parser.parse_args(argv)
    return os.path.abspath(args.source_dir), os.path.abspath(args.simulator), args.wine_loader


def run_simulator(simulator, registry, script, work_dir):
    """Runs one headless script on the settings file; (status, stderr)."""
    env = dict(os.environ)
    env["QOZCAL_EVENT_NAMESPACE"] = f"regedit-round-trip-{os.getpid()}"
    result = subprocess.run([simulator, "--headless", "--virtual-time", "--registry", registry,
                             "--debug-log", os.path.join(work_dir, "debug.txt"),
                             "--script", script], cwd=work_dir, env=env, capture_output=True,
                            timeout=120)
    return result.returncode, result.stderr.decode("utf-8", "replace")


def exported_values(session, cwd, key):
    """{name: text} of the key's string values (REG_SZ and REG_EXPAND_SZ) as
    `regedit /E` exports them, read from its UTF-16 file; None when the
    export fails."""
    path = os.path.join(cwd, "check-export.reg")
    status, _ = session.run(["regedit", "/E", path, key], cwd)
    if status != 0 or not os.path.exists(path):
        return None
    with open(path, "rb") as export:
        text = export.read()[2:].decode("utf-16-le").replace("\\\r\n", "")
    os.remove(path)
    values = {}
    section = None
    for line in text.split("\r\n"):
        if line.startswith("["):
            section = line[1:-1]
        elif section == key and (m := re.fullmatch(r'"([^"]*)"=(.*)', line.strip())):
            data = m.group(2)
            if data.startswith('"'):
                values[m.group(1)] = data[1:-1].replace('\\"', '"').replace("\\\\", "\\")
            elif data.startswith("hex(2):"):
                raw = bytes(int(b, 16) for b in data[7:].replace(" ", "").split(","))
                values[m.group(1)] = raw.decode("utf-16-le").rstrip("\0")
    return values


def wine_settings(session, cwd):
    values = exported_values(session, cwd, KEY) or {}
    return {name: text for name, text in values.items() if name in SETTING_NAMES}


def settings_in(lines):
    return {m.group(1): m.group(2) for m in map(VALUE_LINE.fullmatch, lines)
            if m and m.group(1) in SETTING_NAMES}


def with_settings(lines, settings):
    """The lines with each setting's line giving the new text."""
    return [f'"{m.group(1)}"="{settings[m.group(1)]}"'
            if (m := VALUE_LINE.fullmatch(line)) and m.group(1) in settings else line
            for line in lines]


def check_export_round_trip(session, source_dir, simulator, work_dir, report):
    seeded = os.path.join(work_dir, "seeded.reg")
    status, errors = run_simulator(simulator, seeded, os.path.join(source_dir, "examples",
                                                                   "exit.pen"), work_dir)
    if not report.check(status == 0 and errors == "",
                        f"the simulator could not seed a settings file (status {status}): "
                        f"{errors}"):
        return
    status, output = session.run(["regedit", "/S", seeded], work_dir)
    report.check(status == 0, f"regedit /S of the simulator's file failed ({status}): {output}")
    exported = os.path.join(work_dir, "exported.reg")
    status, output = session.run(["regedit", "/E", exported, KEY], work_dir)
    if not report.check(status == 0 and os.path.exists(exported),
                        f"regedit /E failed ({status}): {output}"):
        return
    with open(exported, "rb") as export:
        before = export.read()
    text = before[2:].decode("utf-16-le")
    lines = text.split("\r\n")
    if not report.check(before.startswith(b"\xff\xfe") and lines[0] == HEADER and
                        "\n" not in text.replace("\r\n", "") and
                        settings_in(lines) == SEEDED,
                        f"regedit's export is not what the test expects: {before[:120]!r}"):
        return

    status, errors = run_simulator(simulator, exported, os.path.join(source_dir, "tests", "wine",
                                                                     "known-fit.pen"), work_dir)
    report.check(status == 0 and errors == "",
                 f"the simulator did not take regedit's export (status {status}): {errors}")
    with open(exported, "rb") as export:
        after = export.read()
    expected = b"\xff\xfe" + "\r\n".join(with_settings(lines, KNOWN_FIT)).encode("utf-16-le")
    report.check(after == expected,
                 "the calibrated export is not the export with the four settings changed, in "
                 f"UTF-16LE with its byte-order mark and CR LF:\n  {after!r}\n"
                 f"  instead of:\n  {expected!r}")

    status, output = session.run(["regedit", "/S", exported], work_dir)
    report.check(status == 0, f"regedit /S of the calibrated export failed ({status}): {output}")
    found = wine_settings(session, work_dir)
    report.check(found == KNOWN_FIT, f"after importing the calibrated export Wine holds {found}, "
                                     f"not {KNOWN_FIT}")


def check_regedit4_round_trip(session, source_dir, simulator, work_dir, report):
    ansi = os.path.join(work_dir, "regedit4.reg")
    shutil.copyfile(os.path.join(source_dir, "tests", "wine", "regedit4-settings.reg"), ansi)
    with open(ansi, "rb") as original:
        before = original.read()
    status, errors = run_simulator(simulator, ansi, os.path.join(source_dir, "tests", "wine",
                                                                 "known-fit.pen"), work_dir)
    report.check(status == 0 and errors == "",
                 f"the simulator did not take the REGEDIT4 file (status {status}): {errors}")
    with open(ansi, "rb") as written:
        after = written.read()
    lines = before.decode("cp1252").split("\r\n")
    expected = "\r\n".join(with_settings(lines, KNOWN_FIT)).encode("cp1252")
    report.check(after == expected, "the calibrated REGEDIT4 file is not the file with the four "
                                    f"settings changed:\n  {after!r}\n  instead of:\n  {expected!r}")

    status, output = session.run(["regedit", "/S", ansi], work_dir)
    report.check(status == 0, f"regedit /S of the REGEDIT4 file failed ({status}): {output}")
    found = exported_values(session, work_dir, KEY + r"\Device")
    wanted = {"Owner": "Café €5", "Path": "%WINDIR%\\é"}
    report.check(found == wanted, f"Wine imported the REGEDIT4 file's other key as {found}, "
                                  f"not {wanted}")
    found = wine_settings(session, work_dir)
    report.check(found == KNOWN_FIT, f"after importing the REGEDIT4 file Wine holds {found}, "
                                     f"not {KNOWN_FIT}")


def main(argv):
    source_dir, simulator, wine_loader = parse_arguments(argv)
    if shutil.which("Xvfb") is None:
        print("Xvfb is not installed (package: xvfb)")
        return 1
    try:
        loader = find_loader("win64", wine_loader)
    except SessionError as error:
        print(f"Wine cannot be used: {error}")
        return 1
    work_dir = tempfile.mkdtemp(prefix="qozcal-regedit-")
    report = Report()
    xserver = None
    try:
        xserver = XServer(240, 320, os.path.join(work_dir, "xvfb.log"))
        session = WineSession(os.path.join(work_dir, "prefix"), xserver,
                              os.path.join(work_dir, "wine.log"), "win64", loader)
        print(f"booting a fresh WINEPREFIX in {session.prefix} ...", flush=True)
        session.boot()
        check_export_round_trip(session, source_dir, simulator, work_dir, report)
        check_regedit4_round_trip(session, source_dir, simulator, work_dir, report)
        session.stop_server()
    except (SessionError, subprocess.TimeoutExpired) as error:
        report.fail(f"the run could not go on: {error}")
    finally:
        if xserver is not None:
            xserver.stop()
        shutil.rmtree(os.path.join(work_dir, "prefix"), ignore_errors=True)
    status = report.summary()
    if status == 0:
        shutil.rmtree(work_dir, ignore_errors=True)
    else:
        print(f"the run's files are in {work_dir}")
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
