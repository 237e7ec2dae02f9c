"""Description files the tool must refuse without blocking, and one too big
for the memory it may use: descript.ion and the files its sections name for
their descriptions (description_file). Either way the run ends before Steam
is touched. And what a description file holds reaches Steam exactly."""

import glob
import os
import resource
import shutil
import socket
import unittest

import harness
from harness import ToolTestCase

# A run that blocks fails its test quickly instead of holding up the suite.
GUARD_TIMEOUT = 60

class UnusableFileTest(ToolTestCase):
    """descript.ion, or a description file it names, is missing or something
    other than a regular file, as a mod folder unpacked from an archive may
    have it. Under Wine the Windows build sees the same host files: none of
    them is a disk file."""

    def make_socket(self, path):
        listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.addCleanup(listener.close)
        listener.bind(path)
        listener.listen(1)

    def test_anything_but_a_regular_file_is_not_found_and_nothing_waits(self):
        kinds = [
            ("missing", lambda path: None),
            ("folder", os.mkdir),
            ("named pipe without a writer", os.mkfifo),
            ("link to /dev/zero", lambda path: os.symlink("/dev/zero", path)),
            ("link to /dev/null", lambda path: os.symlink("/dev/null", path)),
            ("listening socket", self.make_socket),
        ]
        # The file, the descript.ion naming it, and the verbose run's echo.
        files = [
            (["descript.ion"], "[en]\ntitle=x\n", ""),
            (["texts", "en.txt"], "[en]\ntitle = x\ndescription_file = texts/en.txt\n",
             "Parsing [en]\n[en] title = x\n[en] description_file = texts/en.txt\n"),
        ]
        for parts, description, echo in files:
            for kind, make in kinds:
                for args in (["mod"], ["-s", "-u", "917", "mod"]):
                    with self.subTest(parts[-1], kind=kind, args=args):
                        self.fresh()
                        shutil.rmtree(self.path("mod"), ignore_errors=True)
                        self.make_mod(description)
                        special = self.path("mod", *parts)
                        os.makedirs(os.path.dirname(special), exist_ok=True)
                        if os.path.lexists(special):
                            os.remove(special)
                        make(special)
                        self.seed_item(917)
                        self.scenario(["app_id 250"])
                        run = self.run_tool(*args, timeout=GUARD_TIMEOUT)
                        self.assertOutput(run, (echo if args == ["mod"] else "")
                                          + "File not found: mod%s%s\n"
                                          % (harness.sep(), harness.sep().join(parts)), status=1)
                        self.assertEqual(run.journal, [], "Steam was touched")

    def test_a_link_to_a_regular_file_is_read(self):
        self.make_mod("")
        self.write("real.ion", "[en]\ntitle=x\n")
        os.remove(self.path("mod", "descript.ion"))
        os.symlink(self.path("real.ion"), self.path("mod", "descript.ion"))
        self.scenario(["app_id 250", "item_ids 917"])
        run = self.run_tool("-s", "mod", timeout=GUARD_TIMEOUT)
        self.assertEqual(run.stdout.decode("latin-1").splitlines()[-1],
                         "Uploading done successfully")


def markup_description(lines, version):
    """A description of `lines` lines of Steam's markup, as authors write
    them, in UTF-8 with LF line ends."""
    out = ["[h1]Lanterns at Night %s[/h1]" % version,
           "Oil lanterns along village roads, [b]lit at dusk[/b].", "",
           "[list]"]
    while len(out) < lines - 6:
        n = len(out)
        out.append("[*] Feature %d: [url=https://example.com/%d]details[/url], "
                   "F%d = quick save, «ёлка» 日本" % (n, n, n % 12 + 1))
    out += ["[/list]", "[table noborder=1]", "[tr][th]Key[/th][th]Action[/th][/tr]",
            "[tr][td]F5[/td][td]save[/td][/tr]", "[/table]", "[code]  indented\tcode[/code]"]
    return "\n".join(out).encode("utf-8")


class DescriptionFileTest(ToolTestCase):
    """Descriptions kept in files of their own, named by description_file."""

    def test_the_file_text_reaches_steam_exactly_on_publish_and_update(self):
        folder = "Моды ä"
        self.make_mod("[en]\ntitle = Lanterns\ndescription_file = тексты/описание.txt\n"
                      "[de]\ntitle = Laternen\ndescription = Eine Zeile.\n", folder=folder)
        self.scenario(["app_id 250"])
        for version, args, description_file in [
                ("1.0", ["-s", folder], "тексты/описание.txt"),
                ("1.1", ["-s", "-u", "1", folder], "тексты\\описание.txt")]:
            with self.subTest(version=version):
                text = markup_description(60, version)
                self.assertEqual(text.count(b"\n"), 59)
                # Saved by an editor on Windows: a byte-order mark, CR LF and a
                # last line end; Steam gets none of them.
                self.write(os.path.join(folder, "тексты", "описание.txt"),
                           b"\xef\xbb\xbf" + text.replace(b"\n", b"\r\n") + b"\r\n\r\n")
                self.write(os.path.join(folder, "descript.ion"),
                           "[en]\ntitle = Lanterns\ndescription_file = %s\n[de]\n"
                           "title = Laternen\ndescription = Eine Zeile.\n" % description_file)
                run = self.run_tool(*args)
                self.assertEqual(run.stdout.decode("utf-8").splitlines()[-1],
                                 "Uploading done successfully")
                texts = harness.item_texts(self.workshop, 1)
                self.assertEqual(texts[("description", "english")], text)
                self.assertEqual(texts[("description", "german")], b"Eine Zeile.")
                # The journal shows the text as sent too; a failure shouldn't
                # print the whole journal.
                self.assertTrue("SetItemDescription update=3 description=%s -> true"
                                % harness.journal_string(text) in run.calls(),
                                "the journal doesn't show the text as sent")

    def test_descript_ion_itself_may_be_the_description(self):
        description = "[en]\ntitle = x\ndescription_file = descript.ion\n"
        self.make_mod(description)
        self.scenario(["app_id 250"])
        run = self.run_tool("-s", "mod", timeout=GUARD_TIMEOUT)
        self.assertEqual(run.status, 0)
        self.assertEqual(harness.item_texts(self.workshop, 1)[("description", "english")],
                         description.rstrip("\n").encode())


# The address space a run may use: the whole run with a small description
# fits in it with room to spare (its peak is about half of it), an 80 MB
# line does not.
LIMIT_MB = 64
LINE_MB = 80


@unittest.skipIf(harness.windows(), "address-space limits of a POSIX process")
class MemoryExhaustionTest(ToolTestCase):
    """A description that can't be held in memory ends the run cleanly."""

    def limited_run(self, *args, limit_mb=LIMIT_MB):
        """Runs the tool with at most `limit_mb` of memory. The sanitizer build
        reserves far more address space than that for itself, so there the
        sanitizer's allocator and the preloaded library's mmap refuse bigger
        single allocations instead, and the sanitizer's reports go to files
        that are checked here."""
        if not harness.SANITIZED:
            def limit():
                resource.setrlimit(resource.RLIMIT_AS, (limit_mb << 20, limit_mb << 20))
            return self.run_tool(*args, preexec_fn=limit)
        log = self.path("asan")
        options = os.environ.get("ASAN_OPTIONS", "")
        options += (":allocator_may_return_null=1:max_allocation_size_mb=%d"
                    ":verify_asan_link_order=0:log_path=%s" % (limit_mb, log))
        run = self.run_tool(*args, env={"ASAN_OPTIONS": options.lstrip(":"),
                                        "LD_PRELOAD": harness.THROWING_NEW,
                                        "MODPUBLISH_TEST_MMAP_LIMIT_MB": str(limit_mb)})
        reports = []
        for report in glob.glob(log + ".*"):
            with open(report, encoding="latin-1") as report_file:
                reports += report_file.read().splitlines()
            os.remove(report)
        self.assertEqual([line for line in reports
                          if "WARNING: AddressSanitizer failed to allocate" not in line], [])
        return run

    def test_small_description_runs_within_the_limit(self):
        self.make_mod("[en]\ntitle=x\n")
        self.seed_item(917)
        self.scenario(["app_id 250"])
        run = self.limited_run("-s", "-u", "917", "mod")
        self.assertEqual(run.stdout.decode("latin-1").splitlines()[-1],
                         "Uploading done successfully")

    def test_a_line_beyond_the_memory_left_is_reported_and_steam_never_touched(self):
        line = b"notes=" + b"x" * (LINE_MB << 20)
        self.write(os.path.join("mod", "descript.ion"), b"[en]\ntitle=x\n" + line + b"\n")
        self.write(os.path.join("mod", "steam_logo.png"), b"\x89PNG\r\n\x1a\n")
        self.seed_item(917)
        self.scenario(["app_id 250"])
        failed = "Not enough memory to read mod%sdescript.ion\n" % harness.sep()
        for args, expected in [
            (["-u", "917", "mod"], "Parsing [en]\n[en] title = x\n" + failed),
            (["-s", "mod"], failed),
        ]:
            with self.subTest(args=args):
                run = self.limited_run(*args)
                self.assertOutput(run, expected, status=1)
                self.assertEqual(run.journal, [], "Steam was touched")

    def test_a_description_file_beyond_the_memory_left_is_reported(self):
        self.make_mod("[en]\ntitle=x\ndescription_file=big.txt\n")
        with open(self.path("mod", "big.txt"), "wb") as big:
            big.truncate(1 << 30)  # sparse: no disk is spent on it
        self.seed_item(917)
        self.scenario(["app_id 250"])
        run = self.limited_run("-s", "-u", "917", "mod", limit_mb=300)
        self.assertOutput(run, "Not enough memory to read mod%sbig.txt\n" % harness.sep(),
                          status=1)
        self.assertEqual(run.journal, [], "Steam was touched")
