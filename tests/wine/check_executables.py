#!/usr/bin/env python3
"""Checks the Windows executables as built.

  check_executables.py resources --icon-script S --icon ICO EXE...
      each EXE holds the icon group 107 in the Korean language section
      (0x0412) with a 32 x 32 and a 16 x 16 image of 16 colours, the same
      images as ICO; and ICO is what the generator script S draws.
  check_executables.py imports EXE...
      each EXE imports only DLLs of the system itself, no mingw runtime.

Prints one line per finding and exits with 1 if anything is wrong.
"""

import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "msvcrt.dll"}
ICON_GROUP, KOREAN = "107", "1042"
IMAGES = ["--width=32 --height=32 --bit-depth=4 --palette-size=16",
          "--width=16 --height=16 --bit-depth=4 --palette-size=16"]


def run(arguments):
    return subprocess.run(arguments, capture_output=True, check=True).stdout


def icon_images(ico_path):
    """icotool's description of each image in an .ico, index left out."""
    listing = run(["icotool", "-l", ico_path]).decode()
    return [re.sub(r"--(icon|index=\d+) ", "", line).strip() for line in listing.splitlines()]


def check_resources(args, problems):
    with tempfile.TemporaryDirectory() as scratch:
        drawn = os.path.join(scratch, "drawn.ico")
        subprocess.run([sys.executable, args.icon_script, drawn], check=True)
        with open(drawn, "rb") as new, open(args.icon, "rb") as committed:
            if new.read() != committed.read():
                problems.append(f"{args.icon} is not what {args.icon_script} draws; run it again")
        committed_images = icon_images(args.icon)
        if committed_images != IMAGES:
            problems.append(f"{args.icon} holds {committed_images}, not {IMAGES}")

        for exe in args.exes:
            table = run(["wrestool", "-l", exe]).decode()
            print(f"{exe}:\n{table.rstrip()}")
            groups = re.findall(r"--type=14 --name=(\S+) --language=(\d+)", table)
            if groups != [(ICON_GROUP, KOREAN)]:
                problems.append(f"{exe}: icon groups {groups}, expected one, "
                                f"{ICON_GROUP} in language {KOREAN}")
                continue
            icons = re.findall(r"--type=3 --name=\S+ --language=(\d+)", table)
            if icons != [KOREAN] * len(IMAGES):
                problems.append(f"{exe}: icon images in languages {icons}, expected "
                                f"{len(IMAGES)} in {KOREAN}")
            extracted = os.path.join(scratch, "extracted.ico")
            with open(extracted, "wb") as out:
                out.write(run(["wrestool", "-x", "--type=14", f"--name={ICON_GROUP}",
                               f"--language={KOREAN}", exe]))
            images = icon_images(extracted)
            if images != committed_images:
                problems.append(f"{exe}: the icon group holds {images}, not {committed_images}")


def objdump_for(exe):
    """The mingw objdump that reads this executable's format, chosen by the
    machine field of its PE header."""
    with open(exe, "rb") as image:
        header = image.read(4096)
    pe_offset = struct.unpack_from("<I", header, 0x3C)[0]
    machine = struct.unpack_from("<H", header, pe_offset + 4)[0]
    triplet = "x86_64-w64-mingw32" if machine == 0x8664 else "i686-w64-mingw32"
    return shutil.which(f"{triplet}-objdump") or "objdump"


def check_imports(args, problems):
    for exe in args.exes:
        dump = run([objdump_for(exe), "-p", exe]).decode()
        dlls = re.findall(r"DLL Name: (\S+)", dump)
        print(f"{exe}: {os.path.getsize(exe)} bytes, imports {' '.join(dlls)}")
        foreign = [dll for dll in dlls if dll.lower() not in SYSTEM_DLLS]
        if foreign:
            problems.append(f"{exe} needs DLLs that Windows does not have: {' '.join(foreign)}")
        if not dlls:
            problems.append(f"{exe}: no imports found; is it a Windows executable?")


def parse_arguments(argv):
    class Args:
        pass

    args = Args()
    if not argv or argv[0] not in ("resources", "imports"):
        raise SystemExit(__doc__)
    args.mode, rest = argv[0], argv[1:]
    args.icon_script = args.icon = None
    while rest and rest[0] in ("--icon-script", "--icon"):
        setattr(args, rest[0][2:].replace("-", "_"), rest[1])
        rest = rest[2:]
    args.exes = rest
    if not args.exes or args.mode == "resources" and not (args.icon_script and args.icon):
        raise SystemExit(__doc__)
    return args


def main(argv):
    args = parse_arguments(argv)
    problems = []
    missing = [exe for exe in args.exes if not os.path.isfile(exe)]
    if missing:
        print("not built: " + " ".join(missing) +
              " (cmake --preset win32/win64, then cmake --build --preset win32/win64)")
        return 1
    if args.mode == "resources":
        check_resources(args, problems)
    else:
        check_imports(args, problems)
    for problem in problems:
        print("FAIL: " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
