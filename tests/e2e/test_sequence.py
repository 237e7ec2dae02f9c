"""What an upload run sends to Steam, read from the simulator's journal, and
the run's shape for unusual descriptions."""

import os
import subprocess
import unittest

import harness
from harness import ToolTestCase, journal_string, sep

PAGE = "https://steamcommunity.com/sharedfiles/filedetails/?id="
SCENARIO = ["app_id 250", "item_ids 917"]


class LiveModTest(ToolTestCase):
    """Updating a mod that subscribers already have: its visibility kept with
    -k, the change note of -c, and what Steam would refuse stopped before
    anything is sent."""

    def test_keep_on_a_new_item_says_it_is_made_private(self):
        self.make_mod("[en]\ntitle=x\n")
        self.scenario(SCENARIO)
        run = self.run_tool("-s", "-k", "mod")
        self.assertEqual(run.stdout.decode().splitlines()[0],
                         "-k keeps the visibility of an item updated with -u; a new item is made "
                         "private")
        self.assertEqual(run.status, 0)

    def test_what_steam_would_refuse_stops_the_run_before_it_is_sent(self):
        hint = ". Run modpublish-check on the mod folder for more\n"
        preview = "The preview mod%ssteam_logo.png " % sep()
        takes = "; Steam takes a PNG, JPEG or GIF picture under 1 MB (1048576 bytes) there" + hint
        cases = [
            ("a preview of 2 MB", {"preview": b"\x89PNG" + b"\0" * (2 << 20)}, [],
             preview + "has 2097156 bytes" + takes),
            ("no preview", {"preview": None}, [], preview + "is missing" + takes),
            ("a title of 200 bytes", {"title": "t" * 200}, [],
             "The title of section [en] has 200 bytes; Steam refuses titles over 128 bytes" + hint),
            ("a description of 8001 bytes", {"description": "d" * 8001}, [],
             "The description of section [en] has 8001 bytes; Steam refuses descriptions over "
             "8000 bytes" + hint),
            ("a note of 8001 bytes", {}, ["-c", "n" * 8001],
             "The change note (-c) has 8001 bytes; Steam refuses change notes over 8000 bytes"
             + hint),
        ]
        for what, mod, args, line in cases:
            with self.subTest(what):
                self.fresh()
                self.seed_item(917)
                self.make_mod("[en]\ntitle=%s\ndescription=%s\n[vi]\ntitle=%s\n"
                              % (mod.get("title", "x"), mod.get("description", "y"), "t" * 200),
                              preview=mod.get("preview", b"\x89PNG\r\n\x1a\n"))
                if "preview" in mod and mod["preview"] is None:
                    os.remove(self.path("mod", "steam_logo.png"))
                self.scenario(["app_id 250"])
                run = self.run_tool("-s", *args, "-u", "917", "mod")
                self.assertOutput(run, line, status=1)
                self.assertEqual(run.journal, [], "Steam was touched")

    @unittest.skipUnless(harness.windows(), "the Command Prompt's quoting")
    def test_a_note_survives_the_command_prompt_quoted_as_the_guide_says(self):
        self.seed_item(917)
        self.make_mod("[en]\ntitle=x\n")
        self.scenario(["app_id 250"])
        # The guide: double quotes around it, \" for a quote inside, as a
        # batch file holds it. (Wine's cmd reads a batch file in the OEM code
        # page, chcp or not, so the letters of other scripts go through the
        # argument vector in the test above.)
        note = 'Lanterns now "refill" at dawn & <never> at noon'
        self.write("publish.bat", '"%s" -s -k -c "%s" -u 917 mod\r\n'
                   % (harness.native_path(self.tool), note.replace('"', '\\"')))
        completed = harness.programs.run(["cmd", "/c", "publish.bat"], cwd=self.dir,
                                         env=self.environment())
        self.assertEqual(completed.returncode, 0, completed.stdout[-500:])
        changes = [line for line in harness.live_item(self.workshop, 917)
                   if line.startswith("change")]
        self.assertEqual(changes, ["change %s" % journal_string(note)] * 3)


class AbsolutePathTest(ToolTestCase):
    """Steam uploads from a folder of its own, so the content folder and the
    preview reach it absolute, from wherever the tool runs and however the
    path is typed. POSIX puts the current folder before the path as typed;
    Windows normalises the result as well. The item has the largest id,
    which must reach Steam and the page address unchanged."""

    def test_every_way_of_typing_the_path_reaches_steam_absolute(self):
        mod = os.path.join("mods", "Мод 日本")
        self.make_mod("[en]\ntitle=x\n", folder=mod)
        item = 9223372036854775807
        self.seed_item(item)
        self.scenario(["app_id 250"])
        os.makedirs(self.path("work", "here"))
        s = sep()
        # Run from (below the test folder), the path as typed, and what Steam
        # gets on Windows, below the test folder.
        cases = [
            (os.path.join("work", "here"), ".." + s + ".." + s + "mods" + s + "Мод 日本", mod),
            ("mods", "." + s + "Мод 日本" + s, mod + s),  # the separator is kept
            (mod, ".", mod),
            ("work", "../mods/Мод 日本", mod),  # Windows takes / too
            ("work", self.steam_path("work") + s + ".." + s + mod, mod),
        ]
        for cwd, typed, on_windows in cases:
            with self.subTest(cwd=cwd, typed=typed):
                run = self.run_tool("-s", "-u", str(item), typed, cwd=cwd)
                self.assertOutput(run, "Starting uploading fileid %d\nDone uploading mod folder\n"
                                       "Done uploading description in lang: en\n"
                                       "Done uploading preview image\nMod is uploaded to %s%d\n"
                                       "Uploading done successfully\n" % (item, PAGE, item))
                if harness.windows():
                    folder = self.steam_path(on_windows)
                elif os.path.isabs(typed):
                    folder = typed
                else:
                    folder = os.path.realpath(self.path(cwd)) + "/" + typed
                self.assertEqual([line.split(" -> ")[0] for line in run.calls("SetItemContent")
                                  + run.calls("SetItemPreview")], [
                    "SetItemContent update=1 folder=%s" % journal_string(folder),
                    "SetItemPreview update=3 file=%s"
                    % journal_string(folder + s + "steam_logo.png"),
                ])


class DescriptionShapeTest(ToolTestCase):

    def test_no_sections_goes_straight_to_the_preview(self):
        self.seed_item(917)
        self.make_mod("just a line\n")
        self.scenario(["app_id 250", "update_handles 3 4", "call_handles 0x20 0x21"])
        run = self.run_tool("-u", "917", "mod")
        self.assertOutput(run, """\
Starting initing tool
[#     ] Initializing SteamAPI...OK
[##    ] Constructing SteamUtils...OK
[###   ] Getting AppID with SteamUtils...<250>OK
[####  ] Constructing SteamUGC...OK
Starting uploading fileid 917
Starting uploading mod folder
[##### ] Starting item update with SteamUGC...<3>OK
[######] Setting item visibility with SteamUGC...OK
[#######] Setting item content with SteamUGC...OK
[########] Submiting item update with SteamUGC...<20><result success>OK
Done uploading mod folder
Starting uploading preview image
[#########] Starting item update with SteamUGC...<4>OK
[##########] Setting item preview with SteamUGC...OK
[###########] Submiting item update with SteamUGC...<21><result success>OK
Done uploading preview image
Mod is uploaded to %s917
Uploading done successfully
""" % PAGE)

    def test_unknown_and_unnamed_sections_in_silent_mode(self):
        self.make_mod("lost=1\n[  ]\nalso=2\n[vi]\ntitle=x\n[EN]\ntitle=y\n[en]\ntitle=z\n")
        self.scenario(SCENARIO)
        run = self.run_tool("-s", "mod")
        self.assertOutput(run, "Starting uploading fileid 917\n"
                               "Done uploading mod folder\n"
                               "Skipping uploading description in lang: EN\n"
                               "Done uploading description in lang: en\n"
                               "Skipping uploading description in lang: vi\n"
                               "Done uploading preview image\n"
                               "Mod is uploaded to %s917\n"
                               "Uploading done successfully\n" % PAGE)


class TerminalTest(ToolTestCase):
    """On a terminal the dots of a wait show as they happen, not when the
    line is finished."""

    def test_dots_reach_a_terminal_before_the_result(self):
        if harness.windows():
            self.skipTest("Wine gives the program no POSIX terminal")
        import pty  # POSIX only
        self.make_mod("[en]\ntitle=x\n")
        self.scenario(SCENARIO + ["pumps 6"])
        environment = dict(os.environ, STEAMSIM_WORKSHOP=self.workshop,
                           STEAMSIM_SCENARIO=self.scenario_path)
        controller, terminal = pty.openpty()
        process = subprocess.Popen([self.tool, "mod"], cwd=self.dir, env=environment,
                                   stdin=subprocess.DEVNULL, stdout=terminal,
                                   stderr=subprocess.DEVNULL)
        os.close(terminal)
        marker = b"Creating item with SteamUGC...<"

        def after_handle(output):
            # What follows the creation's call handle: the dots, then the result.
            tail = output.split(marker, 1)[1] if marker in output else b""
            return tail.split(b">", 1)[1] if b">" in tail else b""

        seen = b""
        try:
            while b"." not in after_handle(seen):
                chunk = os.read(controller, 4096)
                if not chunk:
                    break
                seen += chunk
        finally:
            process.wait(timeout=harness.RUN_TIMEOUT)
            os.close(controller)
        self.assertIn(b".", after_handle(seen))
        self.assertNotIn(b"<result", after_handle(seen),
                         "the first dot arrived only with the result")
