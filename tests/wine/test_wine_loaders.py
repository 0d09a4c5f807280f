"""The one reason a Wine run is not made: a machine that cannot execute 32-bit
programs leaves the i686 run out, with one line and nothing behind; every
other failure of Wine fails the run.

Needs the win32 and win64 builds and the host simulator, named by the
environment: QOZCAL_SOURCE_DIR, QOZCAL_WIN32_DIR, QOZCAL_WIN64_DIR,
QOZCAL_SIMULATOR and QOZCAL_WINE64_LOADER (the CTest test sets them)."""

import contextlib
import io
import os
import tempfile
import unittest

import run_wine_tests


def refused_loader(folder):
    """A stand-in for the 32-bit loader on a machine without 32-bit support:
    an ELF executable for no machine at all, which execve refuses with
    ENOEXEC ("Exec format error"), as such a machine refuses an i386 one."""
    path = os.path.join(folder, "wine")
    header = bytearray(52)
    header[:7] = b"\x7fELF\x01\x01\x01"   # 32-bit, little-endian, version 1
    header[16:18] = (2).to_bytes(2, "little")   # an executable; e_machine stays 0
    with open(path, "wb") as loader:
        loader.write(header)
    os.chmod(path, 0o755)
    return path


def run(machine, loader, work_dir=None):
    """run_wine_tests on the build for machine; (status, output)."""
    arguments = ["--source-dir", os.environ["QOZCAL_SOURCE_DIR"],
                 "--windows-dir", os.environ["QOZCAL_WIN32_DIR" if machine == "i686"
                                             else "QOZCAL_WIN64_DIR"],
                 "--machine", machine, "--simulator", os.environ["QOZCAL_SIMULATOR"],
                 "--wine-loader", loader]
    if work_dir:
        arguments += ["--work-dir", work_dir]
    output = io.StringIO()
    with contextlib.redirect_stdout(output):
        status = run_wine_tests.main(arguments)
    return status, output.getvalue()


class TheSkipIsNarrow(unittest.TestCase):
    def setUp(self):
        scratch = tempfile.TemporaryDirectory(prefix="wine-loaders-")
        self.addCleanup(scratch.cleanup)
        self.folder = scratch.name
        # Whatever a run would leave in the temporary folder lands here.
        self.temporary = os.path.join(self.folder, "tmp")
        os.mkdir(self.temporary)
        self.addCleanup(setattr, tempfile, "tempdir", tempfile.tempdir)
        tempfile.tempdir = self.temporary

    def test_a_32_bit_loader_the_machine_refuses_skips_the_i686_run_only(self):
        loader = refused_loader(self.folder)
        status, output = run("i686", loader)
        self.assertEqual(status, 77, output)
        self.assertEqual(output, "NOT CHECKED: the i686 Windows build not run under Wine: "
                                 "this machine cannot execute 32-bit programs "
                                 f"({loader}: Exec format error)\n")
        self.assertEqual(os.listdir(self.temporary), [])

        status, output = run("x86_64", loader)
        self.assertEqual(status, 1, output)
        self.assertIn("cannot be started: Exec format error", output)

    def test_wine_failing_for_another_reason_fails_the_run(self):
        missing = os.path.join(self.folder, "no-such-loader")
        for machine in ("i686", "x86_64"):
            status, output = run(machine, missing)
            self.assertEqual(status, 1, output)
            self.assertIn("cannot be started: No such file or directory", output)

        # A prefix that cannot be made: a file stands where its folder goes.
        work_dir = os.path.join(self.folder, "run")
        os.mkdir(work_dir)
        open(os.path.join(work_dir, "prefix"), "w").close()
        status, output = run("x86_64", os.environ["QOZCAL_WINE64_LOADER"], work_dir)
        self.assertEqual(status, 1, output)
        self.assertIn("wineboot failed", output)


if __name__ == "__main__":
    unittest.main()
