"""The program, its client library and the mod in folders named in Cyrillic
and Japanese, as user-profile folders often are. Steam takes paths as UTF-8,
so the content and preview paths must reach it as the UTF-8 bytes of those
names, on Windows as everywhere else."""

import os
import pty
import select
import shutil
import subprocess
import time
import unittest

import harness
from harness import ToolTestCase, journal_string


class NonAsciiPathTest(ToolTestCase):

    def setUp(self):
        super().setUp()
        self.bin = self.path("Дмитрий", "日本")
        os.makedirs(self.bin)
        self.tool_copy = os.path.join(self.bin, os.path.basename(self.tool))
        shutil.copy2(self.tool, self.tool_copy)
        shutil.copy2(harness.SIMULATOR, os.path.join(self.bin, harness.library_name()))
        self.seed_item(917)
        self.scenario(["app_id 250"])

    def test_program_and_mod_in_cyrillic_and_japanese_folders(self):
        # The mod's path typed in every way is test_sequence's; here the
        # program finds its library through a folder of its own named so.
        # The simulator answers success only where both paths name what
        # they should.
        self.make_mod("[ru]\ntitle=Фонари 日本\n", folder="Мод 日本")
        run = self.run_tool("-s", "-u", "917", "Мод 日本", tool=self.tool_copy)
        self.assertTrue(run.stdout.endswith(b"Uploading done successfully" + harness.text("\n")))
        folder = self.steam_path("Мод 日本").encode("utf-8")
        self.assertEqual([line.split(" -> ")[0] for line in run.calls("SetItemContent")
                          + run.calls("SetItemPreview")], [
            "SetItemContent update=1 folder=%s" % journal_string(folder),
            "SetItemPreview update=3 file=%s"
            % journal_string(folder + harness.sep().encode() + b"steam_logo.png")])


@unittest.skipUnless(harness.windows(), "the output code page of a Windows console")
class ConsoleCodePageTest(ToolTestCase):
    """On a console the run switches the output code page to UTF-8, so that
    the bytes of a Russian or Japanese title show readably, and the console
    gets its own code page back afterwards. A pipe or a file changes
    nothing."""

    def test_console_is_utf8_during_the_run_and_restored_after(self):
        self.make_mod("[ru]\ntitle=Фонари 日本\n")
        folder = self.path("bin")
        os.makedirs(folder)
        shutil.copy2(self.tool, folder)
        shutil.copy2(harness.CONSOLE_PROBE, os.path.join(folder, harness.library_name()))
        tool = harness.native_path(os.path.join(folder, os.path.basename(self.tool)))
        probe = self.path("probe.txt")
        # Three runs in one console: to a file (the console's own code page),
        # to the console, and to a file again (what the console has after).
        command = "%s -s mod > NUL & %s -s mod & %s -s mod > NUL" % (tool, tool, tool)
        environment = dict(os.environ, CONSOLE_PROBE_FILE=harness.native_path(probe))
        main, terminal = pty.openpty()
        try:
            process = subprocess.Popen(harness.RUNNER + ["cmd", "/c", command], cwd=self.dir,
                                       env=environment, stdin=terminal, stdout=terminal,
                                       stderr=terminal)
        finally:
            os.close(terminal)
        # Wine's console writes to the terminal: keep reading so it never
        # stalls, until the console closes.
        deadline = time.monotonic() + harness.RUN_TIMEOUT
        try:
            while time.monotonic() < deadline:
                ready, _, _ = select.select([main], [], [], 1)
                if ready:
                    try:
                        if not os.read(main, 65536):
                            break
                    except OSError:  # the terminal's last holder has gone
                        break
                elif process.poll() is not None:
                    break
            process.wait(timeout=max(1, deadline - time.monotonic()))
        finally:
            os.close(main)
            if process.poll() is None:
                process.kill()
                process.wait()
        with open(probe, encoding="ascii") as probe_file:
            pages = probe_file.read().split()
        self.assertEqual(len(pages), 3, pages)
        own = pages[0]
        self.assertNotEqual(own, "65001", "the console starts in another code page")
        self.assertEqual(pages, [own, "65001", own])
