#!/usr/bin/env python3
"""Checks the Windows executables as built.

  check_executables.py resources --icon-script S --icon ICO --version V EXE...
      each qozcal.exe holds the icon group 107 in the Korean language section
      (0x0412) with a 32 x 32 and a 16 x 16 image of 16 colours, the same
      images as ICO; and ICO is what the generator script S draws.
      Every EXE (or DLL) has a version resource of the project's version V.
  check_executables.py imports EXE...
      each EXE imports only DLLs of the system itself, no mingw runtime.
  check_executables.py device --def DEF [--zip ZIP] EXE...
      each EXE is an image the device's loader takes: PE32 for i386 (or, for
      the x86_64 test vehicle, PE32+), subsystem Windows CE GUI (9) version
      5.0, based at 0x10000 with its relocations, no desktop-only DLL
      characteristics, its entry point in code; and it imports from
      coredll.dll only, by name, exactly the exports DEF lists. ZIP, the
      device's package, holds qozcal.exe, LICENSE and DEVICE.md.

Prints one line per finding and exits with 1 if anything is wrong.
"""

import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "msvcrt.dll"}
ICON_GROUP, KOREAN = "107", "1042"
IMAGES = ["--width=32 --height=32 --bit-depth=4 --palette-size=16",
          "--width=16 --height=16 --bit-depth=4 --palette-size=16"]
# What the device's loader is given (docs/windows.md, "For the device").
DEVICE_HEADER = {"subsystem": 9, "subsystem version": (5, 0), "image base": 0x10000,
                 "DLL characteristics": 0}
MACHINES = {0x014C: 0x10B, 0x8664: 0x20B}  # machine: the optional header's magic


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
            version = run(["wrestool", "-x", "--raw", "--type=16", exe]).decode("utf-16-le", "replace")
            if not re.search(f"FileVersion\0+{re.escape(args.version)}\0", version):
                problems.append(f"{exe}: no version resource of version {args.version}")
            if os.path.basename(exe) != "qozcal.exe":
                continue
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


def pe_header(exe):
    """The fields of a PE image's headers that the device's loader looks at,
    and its sections as (name, virtual address, size, characteristics)."""
    with open(exe, "rb") as image:
        data = image.read(4096)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    machine, sections, _, _, _, optional_size, characteristics = struct.unpack_from(
        "<HHIIIHH", data, pe + 4)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    wide = magic == 0x20B
    entry = struct.unpack_from("<I", data, optional + 16)[0]
    base = struct.unpack_from("<Q" if wide else "<I", data, optional + (24 if wide else 28))[0]
    subsystem_version = struct.unpack_from("<HH", data, optional + 48)
    subsystem, dll_characteristics = struct.unpack_from("<HH", data, optional + 68)
    directories = optional + (112 if wide else 96)
    relocations = struct.unpack_from("<II", data, directories + 5 * 8)
    table = optional + optional_size
    found = []
    for index in range(sections):
        name, size, address, _, _, _, _, _, _, flags = struct.unpack_from(
            "<8sIIIIIIHHI", data, table + 40 * index)
        found.append((name.rstrip(b"\0").decode(), address, size, flags))
    return {"machine": machine, "magic": magic, "characteristics": characteristics,
            "entry": entry, "image base": base, "subsystem version": subsystem_version,
            "subsystem": subsystem, "DLL characteristics": dll_characteristics,
            "relocations": relocations, "sections": found}


def imports_by_dll(exe):
    """{dll: [imported names]} as objdump reads the import table; an import
    by ordinal reads as '#N'."""
    dump = run([objdump_for(exe), "-p", exe]).decode()
    imports, dll = {}, None
    for line in dump.splitlines():
        if m := re.match(r"\s*DLL Name: (\S+)", line):
            dll = m.group(1)
            imports[dll] = []
        elif dll and (m := re.match(r"\s+[0-9a-f]+\s+(\d+)\s+(\S+)$", line)):
            imports[dll].append(m.group(2))
        elif dll and (m := re.match(r"\s+[0-9a-f]+\s+<none>\s+([0-9a-f]+)", line)):
            imports[dll].append(f"#{int(m.group(1), 16)}")
        elif not line.strip():
            dll = None
    return imports


def check_device(args, problems):
    if args.zip:
        with zipfile.ZipFile(args.zip) as package:
            names = sorted(package.namelist())
        if names != ["DEVICE.md", "LICENSE", "qozcal.exe"]:
            problems.append(f"{args.zip} holds {names}")
    with open(args.definitions) as definitions:
        names = [line.strip() for line in definitions
                 if line.strip() and not line.startswith((";", "LIBRARY", "EXPORTS"))]
    for exe in args.exes:
        header = pe_header(exe)
        print(f"{exe}: machine {header['machine']:#x}, subsystem {header['subsystem']} "
              f"{header['subsystem version']}, base {header['image base']:#x}, "
              f"entry {header['entry']:#x}, sections "
              + " ".join(name for name, _, _, _ in header["sections"]))
        if MACHINES.get(header["machine"]) != header["magic"]:
            problems.append(f"{exe}: machine {header['machine']:#x} with optional header "
                            f"{header['magic']:#x}, not i386 PE32 (or x86_64 PE32+)")
        for field, expected in DEVICE_HEADER.items():
            if header[field] != expected:
                problems.append(f"{exe}: {field} {header[field]}, not {expected}")
        if header["characteristics"] & 1 or header["relocations"][1] == 0:
            problems.append(f"{exe}: its relocations were stripped; the loader cannot move it")
        code = [s for s in header["sections"] if s[3] & 0x20000000]  # IMAGE_SCN_MEM_EXECUTE
        if not any(address <= header["entry"] < address + size for _, address, size, _ in code):
            problems.append(f"{exe}: the entry point {header['entry']:#x} is not in code")
        imports = imports_by_dll(exe)
        if list(imports) != ["coredll.dll"]:
            problems.append(f"{exe} imports from {list(imports)}, not coredll.dll alone")
        imported = sorted(name for calls in imports.values() for name in calls)
        if imported != sorted(names):
            problems.append(f"{exe} imports {imported}, not exactly {args.definitions}: "
                            f"{sorted(names)}")


def parse_arguments(argv):
    class Args:
        pass

    args = Args()
    if not argv or argv[0] not in ("resources", "imports", "device"):
        raise SystemExit(__doc__)
    args.mode, rest = argv[0], argv[1:]
    args.icon_script = args.icon = args.version = args.definitions = args.zip = None
    options = {"--icon-script": "icon_script", "--icon": "icon", "--version": "version",
               "--def": "definitions", "--zip": "zip"}
    while rest and rest[0] in options:
        setattr(args, options[rest[0]], rest[1])
        rest = rest[2:]
    args.exes = rest
    if (not args.exes or args.mode == "resources" and not (args.icon_script and args.icon and
                                                           args.version)
            or args.mode == "device" and not args.definitions):
        raise SystemExit(__doc__)
    return args


def main(argv):
    args = parse_arguments(argv)
    problems = []
    missing = [exe for exe in args.exes if not os.path.isfile(exe)]
    if missing:
        print("not built: " + " ".join(missing) +
              " (cmake --preset PRESET, then cmake --build --preset PRESET: win32, win64, wince "
              "or wince64)")
        return 1
    {"resources": check_resources, "imports": check_imports,
     "device": check_device}[args.mode](args, problems)
    for problem in problems:
        print("FAIL: " + problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
