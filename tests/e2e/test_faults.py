"""Faults around the run: a missing or incomplete client library, a library
planted in the current folder, a call that is never answered, and
descriptions of absurd size."""

import os
import pwd
import shutil
import subprocess

import harness
from harness import ToolTestCase, library_name, live_item, slow, text

INIT_FAILED = ("Starting initing tool\n"
               "[#          ] Initializing SteamAPI...FAIL\n"
               "\n"
               "Fail during Initializing SteamAPI step.\n")


class LibraryTest(ToolTestCase):
    """The tool copied alone into a folder of its own, with or without a
    library beside it."""

    def setUp(self):
        super().setUp()
        self.make_mod("[en]\ntitle=x\n")
        self.scenario(["app_id 250"])
        self.seed_item(917)
        self.bin = self.path("bin")
        os.makedirs(self.bin)
        self.lonely_tool = os.path.join(self.bin, os.path.basename(self.tool))
        shutil.copy2(self.tool, self.lonely_tool)

    def test_no_usable_library_beside_the_program_fails_the_first_step(self):
        # None at all; one without the needed exports; only those in the
        # current folder and the mod folder, where a downloaded mod could
        # carry one: those must never be loaded.
        beside = os.path.join(self.bin, library_name())
        planted = [self.path(library_name()), self.path("mod", library_name())]
        for copies in ([], [(harness.FIXTURE, beside)],
                       [(harness.SIMULATOR, planted[0]), (harness.SIMULATOR, planted[1])]):
            with self.subTest(copies=copies):
                for source, target in copies:
                    shutil.copy2(source, target)
                run = self.run_tool("-u", "917", "mod", tool=self.lonely_tool)
                self.assertOutput(run, "Parsing [en]\n[en] title = x\n" + INIT_FAILED, status=1)
                self.assertEqual(run.journal, [])
                for _, target in copies:
                    os.remove(target)

    def test_library_beside_the_program_wins_over_the_current_folder(self):
        shutil.copy2(harness.FIXTURE, self.path(harness.library_name()))
        shutil.copy2(harness.SIMULATOR, os.path.join(self.bin, harness.library_name()))
        run = self.run_tool("-s", "-u", "917", "mod", tool=self.lonely_tool)
        self.assertTrue(run.stdout.endswith(text("Uploading done successfully\n")),
                        run.stdout.decode("latin-1"))


class NeverAnsweredTest(ToolTestCase):

    def test_run_waits_and_nothing_reaches_the_workshop_after_the_last_answer(self):
        self.make_mod("[en]\ntitle=x\n")
        # The creation is answered; the content submission never is.
        self.scenario(["app_id 250", "item_ids 917", "pumps 1 never"])
        with self.assertRaises(subprocess.TimeoutExpired):
            self.run_tool("mod", timeout=3)
        with open(self.journal_path, "rb") as journal:
            lines = journal.read().decode("latin-1").splitlines()
        delivered = [line for line in lines if line.startswith("Deliver")]
        self.assertEqual(len(delivered), 1, delivered)
        self.assertGreater(lines.count("RunCallbacks"), 5, "the run kept pumping")
        last_call = max(i for i, line in enumerate(lines) if line.startswith("SubmitItemUpdate"))
        self.assertEqual(set(lines[last_call + 1:]) - {"RunCallbacks"},
                         {"RegisterCallResult call=%s id=3404 size=16"
                          % lines[last_call].rsplit(" ", 1)[1]})
        item = live_item(self.workshop, 917)
        self.assertIsNotNone(item, "the created item stays")
        self.assertFalse([line for line in item if line.startswith(("change", "title"))],
                         "nothing of the unanswered update was applied: %s" % item)


class StagingTest(ToolTestCase):
    """What a failed copy or an earlier run leaves in the simulated Workshop
    never blocks the item's next update. The tool runs as a user whom file
    permissions bind: as nobody when the tests run as root."""

    SUCCESS = text("Uploading done successfully\n")

    def setUp(self):
        super().setUp()
        self.make_mod("[en]\ntitle=x\n")
        self.seed_item(917)
        self.scenario(["app_id 250"])
        self.user = None
        if not harness.windows() and os.geteuid() == 0:
            try:
                self.user = pwd.getpwnam("nobody")
            except KeyError:
                self.skipTest("the tests run as root and there is no user nobody to run as")
            # The build folder may lie where only root can go (a clone in a
            # private temporary folder): the user runs copies of the tool and
            # the simulated library beside it, in the test folder.
            os.mkdir(self.path("bin"))
            self.tool = shutil.copy2(harness.TOOL, self.path("bin"))
            shutil.copy2(harness.SIMULATOR, self.path("bin", library_name()))
            self.hand_over()

    def hand_over(self):
        """Gives the test folder, and all in it so far, to the user."""
        if self.user is not None:
            for folder, _, files in os.walk(self.dir):
                for name in [folder] + [os.path.join(folder, name) for name in files]:
                    os.chown(name, self.user.pw_uid, self.user.pw_gid)

    def publish(self):
        def become_the_user():
            os.setgroups([])
            os.setgid(self.user.pw_gid)
            os.setuid(self.user.pw_uid)

        return self.run_tool("-s", "-u", "917", "mod",
                             preexec_fn=become_the_user if self.user is not None else None)

    def item_folder(self):
        return sorted(os.listdir(self.path("workshop", "items", "917")))

    def test_read_only_content_and_debris(self):
        # Copied with its bits, a read-only file made each superseded revision
        # undeletable on Windows; read-only debris (a folder of mode 555
        # holding a read-only file) blocked every later update.
        os.chmod(self.write(os.path.join("mod", "data", "fixed.txt"), "f"), 0o444)
        debris = self.write(os.path.join("workshop", "items", "917", "next", "content", "x"), "x")
        self.hand_over()
        os.chmod(debris, 0o444)
        os.chmod(os.path.dirname(debris), 0o555)
        for _ in range(3):
            self.assertTrue(self.publish().stdout.endswith(self.SUCCESS))
        self.assertEqual(self.item_folder(), ["r10"], "three updates a run, one revision each")

    def test_a_subfolder_that_cant_be_read_fails_one_update_only(self):
        if harness.windows():
            self.skipTest("a folder without read permission is POSIX's")
        secret = os.path.dirname(self.write(os.path.join("mod", "data", "secret", "key"), "k"))
        os.chmod(secret, 0)
        run = self.publish()
        self.assertEqual(run.stdout.splitlines()[1],
                         b"Fail during Submiting item update with SteamUGC step.")
        self.assertEqual(self.item_folder(), ["r1"], "the half-made copy is gone")
        os.chmod(secret, 0o755)
        self.assertTrue(self.publish().stdout.endswith(self.SUCCESS))
        self.assertEqual(self.item_folder(), ["r4"])

    def test_debris_that_cant_be_deleted_is_journaled_and_passed_by(self):
        if harness.windows():
            self.skipTest("another user's files are POSIX's here: Wine runs as one user")
        if self.user is None:
            self.skipTest("another user's debris can only be made as root")
        # Made by root after the hand-over, so the user can't delete it.
        self.write(os.path.join("workshop", "items", "917", "next", "content", "x"), "x")
        for revision in ("r4", "r7"):
            run = self.publish()
            self.assertTrue(run.stdout.endswith(self.SUCCESS))
            self.assertEqual({line.split(" error=")[0] for line in run.calls("CleanupFailed")},
                             {'CleanupFailed path="items/917/next"'})
            self.assertEqual(self.item_folder(), ["next", revision])


class HugeDescriptionTest(ToolTestCase):

    @slow
    def test_a_256_mb_single_line(self):
        line = b"notes=" + b"x" * (256 * 1024 * 1024)
        self.write(os.path.join("mod", "descript.ion"), b"[en]\ntitle=x\n" + line)
        self.write(os.path.join("mod", "steam_logo.png"), b"\x89PNG\r\n\x1a\n")
        self.seed_item(917)
        self.scenario(["app_id 250"])
        run = self.run_tool("-s", "-u", "917", "mod")
        self.assertOutput(run, "Starting uploading fileid 917\n"
                               "Done uploading mod folder\n"
                               "Done uploading description in lang: en\n"
                               "Done uploading preview image\n"
                               "Mod is uploaded to "
                               "https://steamcommunity.com/sharedfiles/filedetails/?id=917\n"
                               "Uploading done successfully\n")

    @slow
    def test_a_hundred_thousand_sections(self):
        sections = ["[s%06d]\nk=v\n" % i for i in range(100000)]
        self.make_mod("[en]\ntitle=x\n" + "".join(sections))
        self.scenario(["app_id 250"])
        run = self.run_tool("mod")
        self.assertEqual(run.status, 0)
        lines = run.stdout.decode("latin-1").replace("\r\n", "\n").splitlines()
        width = 6 + 5 * 100001 + 1
        steps = [line for line in lines if line.startswith("[#")]
        for line in steps:
            bar = line[1:line.index("]")]
            self.assertEqual(len(bar), max(width, bar.count("#")))
        numbers = [line[1:line.index("]")].count("#") for line in steps]
        self.assertEqual(numbers, list(range(1, 15)) + [500015, 500016, 500017])
        self.assertEqual(lines.count("Skipping uploading description in lang: s099999"), 1)
        self.assertEqual(lines[-1], "Uploading done successfully")
