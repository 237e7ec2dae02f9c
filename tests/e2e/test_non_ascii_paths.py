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

    def check_run(self, mod_argument, absolute=False):
        """Runs the copied tool on the mod at `mod_argument` (a str; `absolute`
        when it is an absolute path) and checks what reached Steam."""
        run = self.run_tool("-u", "917", mod_argument, tool=self.tool_copy)
        lines = run.stdout.decode("utf-8").replace("\r\n", "\n").splitlines()
        self.assertEqual(lines[:2], ["Parsing [ru]", "[ru] title = Фонари 日本"], lines)
        self.assertEqual(lines[-1], "Uploading done successfully", lines)
        self.assertEqual(run.status, 0)
        folder = (mod_argument if absolute else self.steam_path(mod_argument)).encode("utf-8")
        preview = folder + harness.sep().encode() + b"steam_logo.png"
        calls = run.calls()
        self.assertIn("SetItemContent update=1 folder=%s -> true" % journal_string(folder),
                      calls)
        self.assertIn("SetItemPreview update=3 file=%s -> true" % journal_string(preview),
                      calls)
        self.assertIn('SetItemTitle update=2 title=%s -> true'
                      % journal_string("Фонари 日本".encode("utf-8")), calls)
        # The simulated service found both and copied them.
        live = self.path("workshop", "items", "917")
        revision = max(os.listdir(live), key=lambda name: int(name[1:]))
        self.assertTrue(os.path.isfile(os.path.join(live, revision, "content", "data",
                                                    "mod.txt")))
        self.assertTrue(os.path.isfile(os.path.join(live, revision, "preview",
                                                    "steam_logo.png")))

    def test_program_in_cyrillic_and_japanese_folders_finds_its_library(self):
        self.make_mod("[ru]\ntitle=Фонари 日本\ndescription=Мод\n")
        self.check_run("mod")

    def test_program_and_mod_in_cyrillic_and_japanese_folders(self):
        self.make_mod("[ru]\ntitle=Фонари 日本\ndescription=Мод\n", folder="Мод 日本")
        self.check_run("Мод 日本")

    def test_mod_given_by_its_full_path(self):
        self.make_mod("[ru]\ntitle=Фонари 日本\ndescription=Мод\n",
                      folder=os.path.join("Дмитрий", "моды", "日本"))
        self.check_run(harness.native_path(self.path("Дмитрий", "моды", "日本")), absolute=True)


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
