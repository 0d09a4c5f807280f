"""Only a machine that cannot execute 32-bit programs skips a run (QOZCAL_SOURCE_DIR,
QOZCAL_WIN32_DIR, QOZCAL_WIN64_DIR, QOZCAL_SIMULATOR, QOZCAL_WINE64_LOADER name the builds)."""

import contextlib
import io
import os
import tempfile
import unittest

import run_wine_tests


def run(machine, loader, work_dir=None):
    """run_wine_tests on the build for machine; (status, output)."""
    build = os.environ["QOZCAL_WIN32_DIR" if machine == "i686" else "QOZCAL_WIN64_DIR"]
    arguments = ["--source-dir", os.environ["QOZCAL_SOURCE_DIR"], "--windows-dir", build,
                 "--machine", machine, "--simulator", os.environ["QOZCAL_SIMULATOR"],
                 "--wine-loader", loader] + (["--work-dir", work_dir] if work_dir else [])
    output = io.StringIO()
    with contextlib.redirect_stdout(output):
        return run_wine_tests.main(arguments), output.getvalue()


class TheSkipIsNarrow(unittest.TestCase):
    def setUp(self):
        self.folder = self.enterContext(tempfile.TemporaryDirectory(prefix="wine-loaders-"))
        self.addCleanup(setattr, tempfile, "tempdir", tempfile.tempdir)
        tempfile.tempdir = os.path.join(self.folder, "tmp")
        os.mkdir(tempfile.tempdir)

    def test_a_refused_32_bit_loader_skips_the_i686_run_only(self):
        # An ELF executable for no machine: ENOEXEC, as an i386 one without 32-bit support.
        loader = os.path.join(self.folder, "wine")
        with open(os.open(loader, os.O_CREAT | os.O_WRONLY, 0o755), "wb") as elf:
            elf.write(b"\x7fELF\x01\x01\x01" + bytes(9) + b"\x02" + bytes(35))
        self.assertEqual(run("i686", loader), (77, "NOT CHECKED: the i686 Windows build not "
                         "run under Wine: this machine cannot execute 32-bit programs "
                         f"({loader}: Exec format error)\n"))
        self.assertEqual(os.listdir(tempfile.tempdir), [])
        status, output = run("x86_64", loader)
        self.assertEqual((status, "cannot be started: Exec format error" in output), (1, True))

    def test_wine_failing_for_another_reason_fails_the_run(self):
        for machine in ("i686", "x86_64"):
            status, output = run(machine, os.path.join(self.folder, "none"))
            self.assertEqual((status, "No such file or directory" in output), (1, True), output)
        work_dir = os.path.join(self.folder, "run")  # a file where the prefix goes
        os.mkdir(work_dir)
        open(os.path.join(work_dir, "prefix"), "w").close()
        status, output = run("x86_64", os.environ["QOZCAL_WINE64_LOADER"], work_dir)
        self.assertEqual((status, "wineboot failed" in output), (1, True), output)


if __name__ == "__main__":
    unittest.main()
